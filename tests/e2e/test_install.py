"""Installations on this computer, clicked through on the real setup: what lands in the install and
configuration folders, the registry and the Start menu, in both streams, side by side, over an earlier
installation, and with broken packages."""
import io
import os
import time
import xml.etree.ElementTree as ET
import zipfile

import zrx_e2e

LOG_LINES = ["Initialize", "ForceDirectories", "Unzip", "Unzip - Done", "Copy uninstall", "Make Core XML",
             "Make Config XML", "Create Links", "Done"]
BOM_HEADER = b'\xef\xbb\xbf<?xml version="1.0" encoding="UTF-8" standalone="no"?>\r\n'
KEY = r"HKCU\Software\TlvCorp\zrx"


class Stream:
    """What differs between the main and the beta stream."""

    def __init__(self, beta):
        self.beta = beta
        self.args = ("-stream:beta",) if beta else ()
        self.folder = "Zorvex-beta" if beta else "Zorvex"
        self.app = "Zorvex BETA" if beta else "Zorvex"
        self.group = "Zorvex BETA" if beta else "Zorvex"
        self.desktop = "Zorvex BETA.lnk" if beta else "Zorvex.lnk"
        self.value = "key-beta" if beta else "key"
        self.base = "beta" if beta else "main"


MAIN, BETA = Stream(False), Stream(True)


class InstallCase(zrx_e2e.ZrxTestCase):
    def install_dir(self, stream, *parts):
        return self.path("localappdata", "Talvenor", "Apps", stream.folder, *parts)

    def config_dir(self, stream, *parts):
        return self.path("appdata", "Talvenor", stream.folder, *parts)

    def win_install_dir(self, stream):
        return self.session.folders["localappdata"].rstrip("\\") + "\\Talvenor\\Apps\\%s\\" % stream.folder

    def log_lines(self):
        with open(self.path("temp", "zrxsetup.log"), "rb") as f:
            data = f.read()
        self.assertTrue(data.endswith(b"\r\n"), data)
        return data.decode("ascii").split("\r\n")[:-1]

    def walk(self, stream=MAIN, desktop=False, run_after=True):
        """Starts the setup and clicks through to the install page; returns the setup."""
        setup = self.launch(*stream.args)
        setup.wait_control("Lang_en_GB", checked=1, timeout=60)
        setup.click("btnNext")
        setup.click("cbAcceptEULA", timeout=60)
        setup.click("btnNext")
        setup.wait_control("rbInstall", checked=1, timeout=60)
        if desktop:
            setup.click("cbDesktopLink")
            setup.wait_control("cbDesktopLink", checked=1)
        if not run_after:
            setup.click("cbRunAfterInstall")
            setup.wait_control("cbRunAfterInstall", checked=0)
        setup.click("btnNext")
        setup.answer("yes")
        return setup

    def finish(self, setup, stream, success=True, shot=None):
        """Waits for the final page, leaves it, and waits for the setup to end."""
        text = ("Installation of %s has been completed successfully." % stream.app if success
                else "%s installation has been cancelled." % stream.app)
        setup.wait_control("lbText5", text=text, timeout=120)
        if shot:
            setup.screenshot(shot)
        setup.click("btnNext")
        self.assertEqual(setup.wait_exit(), 0)

    def install(self, stream=MAIN, desktop=False, run_after=True, shot=None):
        self.finish(self.walk(stream, desktop, run_after), stream, shot=shot)

    def tool_runs(self, wait=False):
        return [s for s in self.standin_log(wait_for="Zorvex.exe" if wait else None) if s[0] == "Zorvex.exe"]

    def package_entries(self, stream):
        with zipfile.ZipFile(os.path.join(self.server.folder(stream.base), "zrxsetup.zip")) as z:
            return {i.filename: z.read(i) for i in z.infolist() if not i.is_dir()}

    def check_installation(self, stream, desktop):
        """Every piece of a finished installation of the stream."""
        install = self.install_dir(stream)
        entries = self.package_entries(stream)
        for name, data in entries.items():
            if name != "Core.xml":
                with open(os.path.join(install, *name.split("/")), "rb") as f:
                    self.assertEqual(f.read(), data, name)
        with open(os.path.join(install, "uninstall.exe"), "rb") as a, open(self.setup_exe, "rb") as b:
            self.assertEqual(a.read(), b.read(), "uninstall.exe is no copy of the setup")

        key = self.reg_query(KEY, stream.value)
        self.assertRegex(key or "", r"^\{[0-9A-F]{8}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{12}\}$")
        win_install = self.win_install_dir(stream)
        with open(os.path.join(install, "Core.xml"), "rb") as f:
            core = f.read()
        self.assertTrue(core.startswith(BOM_HEADER), core[:80])
        root = ET.fromstring(core[3:])
        package_root = ET.fromstring(entries["Core.xml"])
        self.assertEqual(root.tag, package_root.tag)
        self.assertEqual(root.attrib, dict(package_root.attrib, path=win_install, key=key))
        self.assertEqual([c.tag for c in root], [c.tag for c in package_root])
        self.assertEqual(root.findtext("number"), "4711")
        self.assertEqual(ET.tostring(root.find("plugins")), ET.tostring(package_root.find("plugins")))

        with open(self.config_dir(stream, "Application.xml"), "rb") as f:
            self.assertEqual(f.read(), BOM_HEADER + (
                '<zrx path="%s">\r\n  <global>\r\n    <lang>en_GB</lang>\r\n    <workmode>1</workmode>\r\n'
                '    <eula>True</eula>\r\n  </global>\r\n</zrx>\r\n' % win_install).encode("utf-8"))

        group = self.path("programs", stream.group)
        links = {"Run %s.lnk" % stream.app: (win_install + "Zorvex.exe", ""),
                 "Uninstall %s.lnk" % stream.app: (win_install + "uninstall.exe", "-uninstall"),
                 "Command line documentation.lnk": (win_install + "command line.txt", "")}
        for name, (target, arguments) in links.items():
            link = self.read_link(os.path.join(group, name))
            self.assertEqual(link["target"].lower(), target.lower(), name)
            self.assertEqual(link["arguments"], arguments, name)
        self.assertTrue(os.path.isfile(os.path.join(group, "Go to %s web site.lnk" % stream.app)))
        self.assertEqual(sorted(os.listdir(group)), sorted(list(links) + ["Go to %s web site.lnk" % stream.app]))
        desktop_link = self.path("desktop", stream.desktop)
        self.assertEqual(os.path.exists(desktop_link), desktop)
        if desktop:
            self.assertEqual(self.read_link(desktop_link)["target"].lower(), (win_install + "Zorvex.exe").lower())
        self.assertEqual(self.log_lines(), LOG_LINES)
        self.assertFalse(os.path.exists(self.working_folder(stream.beta)))
        return key


class FullInstallation(InstallCase):
    def test_main_stream_with_desktop_link_and_the_tool_started(self):
        self.start_server()
        self.install(MAIN, desktop=True, shot="install-success")
        self.check_installation(MAIN, desktop=True)
        (name, command_line, hidden), = self.tool_runs(wait=True)
        self.assertIn("Talvenor\\Apps\\Zorvex\\Zorvex.exe", command_line)

    def test_a_package_without_core_xml(self):
        self.start_server(core_xml=None)
        self.install(MAIN, run_after=False)
        with open(self.install_dir(MAIN, "Core.xml"), "rb") as f:
            self.assertEqual(f.read(), BOM_HEADER + b"  <number>4711</number>\r\n")
        self.assertIsNotNone(self.reg_query(KEY, "key"))
        self.assertEqual(self.log_lines(), LOG_LINES)


class OverAndBeside(InstallCase):
    def test_a_second_installation_replaces_files_key_and_settings(self):
        self.start_server()
        self.install(MAIN, run_after=False)
        first_key = self.reg_query(KEY, "key")
        # The tool's own settings and a file of an older package.
        with open(self.config_dir(MAIN, "Application.xml"), "wb") as f:
            f.write(b'<zrx><global><lang>ru_RU</lang><theme>dark</theme></global></zrx>')
        with open(self.install_dir(MAIN, "Zorvex.exe"), "wb") as f:
            f.write(b"an older tool")

        self.install(MAIN, run_after=False)
        self.check_installation(MAIN, desktop=False)
        self.assertNotEqual(self.reg_query(KEY, "key"), first_key)

    def test_two_streams_side_by_side_then_one_uninstalled(self):
        self.start_server()
        # Beta first: the uninstaller offers a stream when its install folder exists, so the beta installation
        # must make nothing of the main stream's, and the main one must leave the beta one as it was.
        self.install(BETA, run_after=False)
        self.assertFalse(os.path.exists(self.install_dir(MAIN)))
        self.assertFalse(os.path.exists(self.config_dir(MAIN)))
        self.assertIsNone(self.reg_query(KEY, "key"))
        beta_key, beta_files = self.reg_query(KEY, "key-beta"), self.snapshot(BETA)
        self.install(MAIN, run_after=False)
        self.assertEqual(self.reg_query(KEY, "key-beta"), beta_key)
        self.assertEqual(self.snapshot(BETA), beta_files)
        main_key = self.check_installation(MAIN, desktop=False)
        self.check_installation(BETA, desktop=False)
        # Run after installation was unticked both times: the tool was not started.
        self.assertEqual(self.tool_runs(), [])
        main_files = self.snapshot(MAIN)

        # The beta stream's Start-menu link starts its uninstaller.
        link = self.read_link(self.path("programs", BETA.group, "Uninstall %s.lnk" % BETA.app))
        self.launch(link["arguments"], exe=self.unix_path(link["target"]), wait=False)
        remover = self.attach("zrx-uninstall.exe")
        remover.click("btnUninstallBeta", timeout=60)
        remover.wait_control("lbSad", timeout=120)
        remover.click("btnNext")
        self.assertEqual(remover.wait_exit(), 0)

        self.wait_gone(self.install_dir(BETA))
        self.assertFalse(os.path.exists(self.config_dir(BETA)))
        self.assertFalse(os.path.exists(self.path("programs", BETA.group)))
        self.assertIsNone(self.reg_query(KEY, "key-beta"))
        # The main stream is as it was, and its tool still starts.
        self.assertEqual(self.snapshot(MAIN), main_files)
        self.assertEqual(self.reg_query(KEY, "key"), main_key)
        run = self.read_link(self.path("programs", MAIN.group, "Run Zorvex.lnk"))
        self.session.wine(["start", "/unix", self.unix_path(run["target"])])
        self.tool_runs(wait=True)

    def snapshot(self, stream):
        files = {}
        for top in (self.install_dir(stream), self.config_dir(stream), self.path("programs", stream.group)):
            for folder, _, names in os.walk(top):
                for name in names:
                    with open(os.path.join(folder, name), "rb") as f:
                        files[os.path.join(folder, name)] = f.read()
        return files

    def wait_gone(self, path, timeout=60):
        deadline = time.time() + timeout
        while os.path.exists(path) and time.time() < deadline:
            time.sleep(0.2)
        self.assertFalse(os.path.exists(path), path + " was not removed")


def stored_zip(entries):
    out = io.BytesIO()
    with zipfile.ZipFile(out, "w", zipfile.ZIP_STORED) as z:
        for name, data in entries:
            z.writestr(zipfile.ZipInfo(name, (2024, 5, 1, 12, 0, 0)), data)
    return out.getvalue()


class BadPackages(InstallCase):
    """Each broken package ends on the cancelled page with "Unzip" last in the log; as the first installation
    it leaves nothing behind, and a sound package then installs."""

    def bad_package(self, data, escaped=()):
        server = self.start_server()
        for base in ("main", "mirror"):
            server.put(base, "zrxsetup.zip", data)
        self.finish(self.walk(MAIN, desktop=True), MAIN, success=False, shot="install-cancelled")
        self.assertEqual(self.log_lines()[-1], "Unzip")
        self.assertFalse(os.path.exists(self.path("localappdata", "Talvenor")))
        self.assertFalse(os.path.exists(self.path("appdata", "Talvenor")))
        self.assertFalse(os.path.exists(self.path("programs", MAIN.group)))
        self.assertFalse(os.path.exists(self.path("desktop", MAIN.desktop)))
        self.assertIsNone(self.reg_query(KEY, "key"))
        for path in escaped:
            self.assertFalse(os.path.exists(path), path)
        self.assertFalse(os.path.exists(self.working_folder()))
        self.assertEqual(self.tool_runs(), [])

        # The next run installs.
        with open(os.path.join(server.folder("beta"), "zrxsetup.zip"), "rb") as f:
            good = f.read()
        for base in ("main", "mirror"):
            server.put(base, "zrxsetup.zip", good)
        self.install(MAIN, run_after=False)
        self.check_installation(MAIN, desktop=False)

    def sample_package(self):
        return zrx_e2e.make_sample.package(self.standin_exe)

    def test_no_zip_archive(self):
        self.bad_package(b"<html><body>This is a web page, not a package.</body></html>\r\n" * 50)

    def test_truncated(self):
        data = self.sample_package()
        self.bad_package(data[:len(data) // 2])

    def test_crc_damaged(self):
        text = b"Zorvex sample package.\r\n"
        data = bytearray(self.sample_package())
        at = data.find(text * 20)  # docs/readme.txt is stored: its bytes lie in the archive as they are
        self.assertGreater(at, 0)
        data[at + 100] ^= 0x20
        self.bad_package(bytes(data))

    def test_entry_leaving_the_install_folder(self):
        data = stored_zip([("Zorvex.exe", b"tool"), ("../../../../Roaming/escaped.txt", b"evil"),
                           ("..\\..\\..\\escaped2.txt", b"evil")])
        self.bad_package(data, escaped=[self.path("appdata", "escaped.txt"),
                                        self.path("localappdata", "escaped2.txt"),
                                        self.path("localappdata", "Talvenor", "escaped2.txt")])
