"""The local installation: an online setup writes "ZorvexSetup.exe" with the package and the manifest embedded
into a folder of the user's choice; that file then installs on a computer that reaches no server."""
import os
import shutil
import struct
import time

import zrx_e2e

RT_RCDATA = 10
PACKAGE_ID, MANIFEST_ID = 100, 200


def read(path):
    with open(path, "rb") as f:
        return f.read()


def pe_resources(data):
    """{(type, name, language): (bytes, offset of the name entry)} of a PE file; ids are ints, names strings."""
    u16 = lambda o: struct.unpack_from("<H", data, o)[0]
    u32 = lambda o: struct.unpack_from("<I", data, o)[0]
    pe = u32(0x3C)
    if data[pe:pe + 4] != b"PE\0\0":
        raise ValueError("no PE file")
    sections, optional_size, optional = u16(pe + 6), u16(pe + 20), pe + 24
    directories = optional + (112 if u16(optional) == 0x20B else 96)
    table = optional + optional_size

    def offset(rva):
        for i in range(sections):
            s = table + 40 * i
            size, va, raw = max(u32(s + 8), u32(s + 16)), u32(s + 12), u32(s + 20)
            if va <= rva < va + size:
                return rva - va + raw
        raise ValueError("address %#x outside the sections" % rva)

    root = offset(u32(directories + 2 * 8))

    def entries(directory):
        base = root + directory
        for i in range(u16(base + 12) + u16(base + 14)):
            entry = base + 16 + 8 * i
            name, target = u32(entry), u32(entry + 4)
            if name & 0x80000000:
                s = root + (name & 0x7FFFFFFF)
                name = data[s + 2:s + 2 + 2 * u16(s)].decode("utf-16-le")
            yield entry, name, target & 0x7FFFFFFF

    found = {}
    for _, kind, names in entries(0):
        for name_entry, name, languages in entries(names):
            for _, language, leaf in entries(languages):
                rva, size = u32(root + leaf), u32(root + leaf + 4)
                start = offset(rva)
                found[(kind, name, language)] = (data[start:start + size], name_entry)
    return found


def exec_calls(log_path, program):
    """The shell calls that Wine's exec trace recorded for program: a dict of each call's fields."""
    calls = []
    with open(log_path, encoding="utf-8", errors="replace") as f:
        for line in f:
            if "trace:exec:SHELL_execute mask=" not in line or 'file=L"%s"' % program not in line:
                continue
            fields, rest = {}, line.split("SHELL_execute ", 1)[1].strip()
            for key in ("mask", "hwnd", "verb", "file", "parm", "dir", "show"):
                rest = rest[len(key) + 1:]
                if rest.startswith('L"'):
                    i, value = 2, []
                    while rest[i] != '"':
                        if rest[i] == "\\":
                            i += 1
                        value.append(rest[i])
                        i += 1
                    fields[key], rest = "".join(value), rest[i + 1:].lstrip()
                else:
                    value, _, rest = rest.partition(" ")
                    fields[key] = value
            calls.append(fields)
    return calls


class LocalInstallation(zrx_e2e.ZrxTestCase):
    # A local setup made by an earlier test of this class, for the tests that only use one.
    made_setup = None

    def target_folder(self, name):
        """An empty folder for a local setup in the user's profile folder (the driver selects folders in the
        dialog's tree, where Wine finds them only near the folders it has opened)."""
        folder = self.path("profile", "zrx " + name)
        shutil.rmtree(folder, ignore_errors=True)
        os.makedirs(folder)
        self.addCleanup(shutil.rmtree, folder, True)
        return folder

    def walk_to_choice_page(self, setup, language_page=True):
        if language_page:
            setup.wait_control("Lang_en_GB", checked=1)
            setup.click("btnNext")
        setup.click("cbAcceptEULA")
        setup.click("btnNext")
        return setup.wait_control("rbInstall", checked=1)

    def start_making(self, target, trace_shell=False):
        """Launches a copy of the setup, walks to the choice page and starts a local installation into
        target; returns the setup and the folder text of the page (the folder as the setup names it)."""
        origin = self.copy_setup(os.path.join(self.run_dir, "origin", "ZorvexSetup.exe"))
        # The folder dialog opens on the folder it remembers. The driver's selection in the dialog's tree
        # misses folders that Wine has not listed there yet; the one it opens on is always listed.
        self.session.regedit(["REGEDIT4", "", r"[HKEY_CURRENT_USER\Software\Shell\ZorvexSetup.exe\BrowseForFolder]",
                              '@="%s"' % self.win_path(target).replace("\\", "\\\\"), ""])
        env = self.session.env
        saved = env.get("WINEDEBUG")
        if trace_shell:
            # Wine's own trace records the shell calls of this process: nothing in the setup changes.
            env["WINEDEBUG"] = "-all,+exec"
        try:
            setup = self.launch(exe=origin, wait=False)
        finally:
            env["WINEDEBUG"] = saved
        setup.wait_window()
        self.walk_to_choice_page(setup)
        setup.click("rbDownload")
        setup.click("btnBrowsePath")
        setup.choose_folder(target)
        folder = setup.wait_control("eLocalPath", contains=os.path.basename(target)).text
        self.assertTrue(folder.endswith("\\"), folder)
        setup.click("btnNext")
        return setup, folder

    def finish_making(self, setup):
        setup.wait_control("lbText4", text="Done.", timeout=120)
        setup.wait_control("btnNext", text="Close", enabled=True)

    def wait_for_the_unpacker(self):
        """Until the unpacker has started on the copy: the worker then gives it five seconds."""
        deadline = time.time() + 60
        while not any(name.lower() == "upx.exe" for name, _, _ in self.standin_log()):
            self.assertLess(time.time(), deadline, "the unpacker did not start")
            time.sleep(0.1)

    def local_setup(self):
        """A local setup made through the window (once per class)."""
        if LocalInstallation.made_setup is None:
            self.start_server()
            target = self.target_folder("made")
            setup, _ = self.start_making(target)
            self.finish_making(setup)
            setup.click("btnNext")
            self.assertEqual(setup.wait_exit(), 0)
            self.keep(os.path.join(target, "ZorvexSetup.exe"))
            self.server.stop()
            self.server = None
        return LocalInstallation.made_setup

    def keep(self, made):
        keep = os.path.join(self.session.runs, "local-setup", "ZorvexSetup.exe")
        os.makedirs(os.path.dirname(keep), exist_ok=True)
        shutil.copyfile(made, keep)
        LocalInstallation.made_setup = keep

    def copy_made_setup(self, folder, data=None):
        path = os.path.join(self.run_dir, folder, "ZorvexSetup.exe")
        os.makedirs(os.path.dirname(path), exist_ok=True)
        with open(path, "wb") as f:
            f.write(data if data is not None else read(self.local_setup()))
        return path

    def hide_directx(self):
        dll = self.path("system", "d3dx9_33.dll")
        if os.path.exists(dll):
            os.rename(dll, dll + ".hidden")
            self.addCleanup(os.rename, dll + ".hidden", dll)

    # -- making ------------------------------------------------------------------------------------------------
    def test_make_a_local_setup_in_a_folder_with_a_blank(self):
        server = self.start_server()
        # Each download takes a few seconds, so that the page can be watched while it runs.
        for name in ("zrxsetup.zip", "upx.exe"):
            pieces = os.path.getsize(os.path.join(server.folder("main"), name)) // 1024 + 1
            server.misbehave("main", name, "slow %d" % max(2, 3000 // pieces))
        target = self.target_folder("local target")
        with open(os.path.join(target, "ZorvexSetup.exe"), "wb") as f:
            f.write(b"an earlier local setup")

        setup, folder = self.start_making(target, trace_shell=True)
        hidden = {c.name for c in setup.controls() if c.name in ("rbInstall", "cbDesktopLink", "cbRunAfterInstall")}
        self.assertEqual(hidden, set())
        maxima, texts = set(), set()
        deadline = time.time() + 120
        while time.time() < deadline:
            bar, label = setup.control("pbLocal"), setup.control("lbText4")
            if bar and "/" in bar.value:
                maxima.add(int(bar.value.split("/")[1]))
            if label:
                texts.add(label.text)
                if label.text == "Done.":
                    break
        self.finish_making(setup)
        setup.screenshot("local-made")

        package = read(os.path.join(server.folder("main"), "zrxsetup.zip"))
        upx = read(os.path.join(server.folder("main"), "upx.exe"))
        # One bar for both downloads, one after the other.
        self.assertIn(len(package), maxima)
        self.assertIn(len(upx), maxima)
        self.assertTrue(any(t.startswith("Downloaded: ") for t in texts), texts)
        self.assertEqual([r.status for r in server.requested("zrxsetup.zip")], ["200"])
        self.assertEqual([r.status for r in server.requested("upx.exe")], ["200"])

        made = os.path.join(target, "ZorvexSetup.exe")
        runs = [(cmd, hid) for name, cmd, hid in self.standin_log() if name.lower() == "upx.exe"]
        self.assertEqual(len(runs), 1, self.standin_log())
        command, was_hidden = runs[0]
        self.assertTrue(command.endswith(' -d -q "%sZorvexSetup.exe"' % folder), command)
        self.assertTrue(was_hidden)

        resources = pe_resources(read(made))
        self.assertTrue(resources[(RT_RCDATA, PACKAGE_ID, 0)][0] == package, "the package differs")
        self.assertEqual(resources[(RT_RCDATA, MANIFEST_ID, 0)][0],
                         read(os.path.join(server.folder("main"), "system.xml")))
        own = pe_resources(read(self.setup_exe))
        self.assertTrue(any(key[:2] == (RT_RCDATA, "LANG_EN_GB") for key in own), list(own))
        for key, (data, _) in own.items():
            self.assertTrue(key in resources and resources[key][0] == data, "%s is not kept" % (key,))

        setup.click("btnNext")
        self.assertEqual(setup.wait_exit(), 0)
        calls = exec_calls(os.path.join(self.run_dir, "setup-0.log"), "EXPLORER.EXE")
        self.assertEqual(len(calls), 1, calls)
        self.assertEqual(calls[0]["parm"], '/e, /select, "%sZorvexSetup.exe"' % folder)
        self.assertEqual((calls[0]["verb"], calls[0]["hwnd"], calls[0]["show"]),
                         ("Open", "0000000000000000", "0x00000001"))
        self.keep(made)

    def test_a_failed_download_ends_on_the_cancelled_page_and_leaves_no_setup_behind(self):
        server = self.start_server()
        for name in ("zrxsetup.zip", "upx.exe"):
            with self.subTest(failed=name):
                server.misbehave("main", name, "status 404")
                target = self.target_folder("target for " + name)
                setup, _ = self.start_making(target)
                try:
                    # The run ends as a failed installation does, on the cancelled page.
                    setup.wait_control("lbText5", text="Zorvex installation has been cancelled.", timeout=60)
                    self.assertEqual(os.listdir(target), [])
                    setup.click("btnNext")
                    self.assertEqual(setup.wait_exit(), 0)
                    self.assertEqual(os.listdir(target), [])
                finally:
                    setup.kill()
                    server.remove("main", name + ".misbehave")

    def test_a_failing_worker_ends_on_the_cancelled_page_without_a_half_made_setup(self):
        self.start_server()
        target = self.target_folder("target")
        setup, _ = self.start_making(target)
        # The unpacker has started on the copy; the manifest goes before it can be embedded.
        self.wait_for_the_unpacker()
        os.remove(os.path.join(self.working_folder(), "system.xml"))
        setup.wait_control("lbText5", text="Zorvex installation has been cancelled.", timeout=60)
        self.assertFalse(os.path.exists(os.path.join(target, "ZorvexSetup.exe")))
        setup.screenshot("local-failed")
        setup.click("btnNext")
        self.assertEqual(setup.wait_exit(), 0)

    def test_closing_the_window_while_the_setup_is_made_leaves_no_half_made_setup(self):
        self.start_server()
        target = self.target_folder("closed")
        setup, _ = self.start_making(target)
        self.wait_for_the_unpacker()
        self.assertTrue(os.path.exists(os.path.join(target, "ZorvexSetup.exe")))
        setup.close()
        self.assertEqual(setup.wait_exit(), 0)
        self.assertEqual(os.listdir(target), [])

    # -- using a local setup -------------------------------------------------------------------------------------
    def test_a_local_setup_installs_without_a_server(self):
        local = self.copy_made_setup("offline")
        self.hide_directx()
        self.no_server()
        setup = self.launch(exe=local)
        # No language page: the licence terms come first, the built-in ones.
        setup.wait_control("cbAcceptEULA")
        self.assertIsNone(setup.control("lbBox"))
        self.assertEqual(read(os.path.join(self.working_folder(), "EULA_en_GB")),
                         read(os.path.join(self.source, "resources", "EULA_en_GB.html")))
        setup.click("cbAcceptEULA")
        setup.click("btnNext")
        # No DirectX question although the library is missing, and no local-installation choice.
        self.assertFalse(setup.wait_control("rbDownload").enabled)
        setup.wait_control("rbInstall", checked=1)
        setup.click("cbRunAfterInstall")
        setup.click("btnNext")
        # No size question: the package comes from the setup itself.
        setup.wait_control("lbText5", text="Installation of Zorvex has been completed successfully.", timeout=120)
        install = self.path("localappdata", "Talvenor", "Apps", "Zorvex")
        self.assertTrue(os.path.isfile(os.path.join(install, "Zorvex.exe")))
        core = read(os.path.join(install, "Core.xml")).decode("utf-8-sig")
        self.assertIn("<number>4711</number>", core)
        self.assertIn("Quellpack", core)
        setup.click("btnNext")
        self.assertEqual(setup.wait_exit(), 0)

    def test_a_local_setup_uses_a_server_that_answers(self):
        local = self.copy_made_setup("online")
        server = self.start_server()
        setup = self.launch(exe=local)
        setup.wait_control("Lang_en_GB", checked=1)
        self.assertTrue(server.requested("system.xml"))
        self.assertTrue(server.requested("Langs.xml"))
        setup.close()
        self.assertEqual(setup.wait_exit(), 0)

    def test_a_local_setup_without_its_manifest_stops_with_an_error(self):
        data = bytearray(read(self.local_setup()))
        _, entry = pe_resources(bytes(data))[(RT_RCDATA, MANIFEST_ID, 0)]
        # Renumbered, the manifest is no longer where the setup looks for it.
        struct.pack_into("<I", data, entry, MANIFEST_ID + 1)
        local = self.copy_made_setup("broken", bytes(data))
        self.no_server()
        setup = self.launch(exe=local)
        self.walk_to_choice_page(setup, language_page=False)
        setup.click("btnNext")
        caption, text = setup.answer("ok", timeout=60)
        self.assertIn("EResNotFound", text)
        self.assertIn("200", text)
        self.assertEqual(setup.wait_exit(), 1)
        self.assertFalse(os.path.exists(self.path("localappdata", "Talvenor", "Apps", "Zorvex", "Zorvex.exe")))

    def test_a_local_setup_whose_manifest_cannot_be_read_installs_without_a_build_number(self):
        data = read(self.local_setup())
        # The embedded manifest's end tag no longer matches its start tag.
        self.assertEqual(data.count(b"</setup>"), 1)
        local = self.copy_made_setup("unreadable", data.replace(b"</setup>", b"</sxtup>"))
        self.hide_directx()
        self.no_server()
        setup = self.launch(exe=local)
        self.walk_to_choice_page(setup, language_page=False)
        setup.click("btnNext")
        # The manifest counts as one without a number, as it would beside a sound package.
        setup.wait_control("lbText5", text="Installation of Zorvex has been completed successfully.", timeout=120)
        core = read(self.path("localappdata", "Talvenor", "Apps", "Zorvex", "Core.xml")).decode("utf-8-sig")
        self.assertIn("<number>0</number>", core)
        setup.click("btnNext")
        self.assertEqual(setup.wait_exit(), 0)
        print("local setup with an unreadable manifest: peak %.1f MB" % setup.peak_mb, flush=True)
