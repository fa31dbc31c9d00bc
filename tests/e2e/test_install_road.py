"""The install road of the real setup: counting, the manifest and self-update, the choice of server, the
language list, language files and licence terms, the installation in either stream, failures, and closing
the window at every wait."""
import os

import zrx_e2e
from zrx_e2e import make_sample, poll

SUCCESS = "Installation of Zorvex has been completed successfully."
CANCELLED = "Zorvex installation has been cancelled."


class InstallRoad(zrx_e2e.ZrxTestCase):
    def setUp(self):
        super().setUp()
        self.directx_present()

    # -- steps of the road ------------------------------------------------------------------------------------
    def pass_language_page(self, setup, lang="en_GB"):
        setup.wait_control("Lang_en_GB")
        if not setup.control("Lang_" + lang).checked:
            setup.click("Lang_" + lang)
        setup.click("btnNext")

    def accept_licence(self, setup):
        setup.wait_control("cbAcceptEULA")
        setup.click("cbAcceptEULA")
        setup.click("btnNext")

    def confirm_install(self, setup, desktop=False):
        setup.wait_control("rbInstall", checked=1)
        if desktop:
            setup.click("cbDesktopLink")
        setup.click("btnNext")
        return setup.answer("yes")

    def install(self, *args, lang="en_GB", desktop=False):
        """A whole installation through every page; returns the launched setup after it has ended."""
        setup = self.launch(*args)
        self.pass_language_page(setup, lang)
        self.accept_licence(setup)
        self.confirm_install(setup, desktop)
        success = SUCCESS.replace("Zorvex", "Zorvex BETA") if "-stream:beta" in args else SUCCESS
        setup.wait_control("lbText5", text=success, timeout=120)
        setup.click("btnNext")
        self.assertEqual(setup.wait_exit(), 0)
        return setup

    def tool(self, beta=False, *parts):
        return self.path("localappdata", "Talvenor", "Apps", "Zorvex-beta" if beta else "Zorvex", *parts)

    def log_lines(self, path):
        try:
            with open(path, encoding="ascii") as f:
                return f.read().splitlines()
        except OSError:
            return []

    def calm(self, name):
        """The main server's file behaves again."""
        os.remove(os.path.join(self.server.folder("main"), name + ".misbehave"))

    def progress(self, setup):
        """The install page's bar once it has counted some bytes, else None."""
        bar = setup.control("PB")
        return bar if bar and "/" in bar.value and not bar.value.startswith("0/") else None

    def hosts_of(self, names):
        return {r.host for name in names for r in self.server.requested(name) if r.status == "200"}

    # -- the whole road ---------------------------------------------------------------------------------------
    def test_both_streams_install_side_by_side_and_are_counted(self):
        server = self.start_server(number=4711)
        self.install(desktop=True)
        self.assertTrue(os.path.isfile(self.tool(False, "Zorvex.exe")))
        with open(self.tool(False, "Core.xml"), encoding="utf-8-sig") as f:
            self.assertIn("<number>4711</number>", f.read())
        self.assertTrue(os.path.isfile(self.path("desktop", "Zorvex.lnk")))
        # Run after installation is ticked by default: the installed tool was started.
        poll("the installed tool to start", lambda: [e for e in self.standin_log() if e[0] == "Zorvex.exe"])
        self.assertFalse(os.path.exists(self.working_folder()))
        counts = [r for r in server.requests() if r.host == "count.zorvex.example"]
        self.assertEqual([r.line.split(" ")[1] for r in counts], ["http://count.zorvex.example:80/zrx-main"])
        self.assertEqual(counts[0].agent, "Web[ZX]/INDY,201")
        self.assertEqual(self.hosts_of(["system.xml", "Langs.xml", "EULA_en_GB", "zrxsetup.zip"]),
                         {"download.zorvex.example"})
        self.assertEqual({r.agent for r in server.requested("zrxsetup.zip")}, {"TlvCorp/Zorvex/1.0/INDY"})

        before = len(server.requests())
        self.install("-stream:beta")
        self.assertTrue(os.path.isfile(self.tool(True, "Zorvex.exe")))
        self.assertTrue(os.path.isfile(self.tool(False, "Zorvex.exe")), "the main installation stays")
        self.assertTrue(self.reg_query(r"HKCU\Software\TlvCorp\zrx", "key"))
        self.assertTrue(self.reg_query(r"HKCU\Software\TlvCorp\zrx", "key-beta"))
        beta = server.requests()[before:]
        self.assertIn("http://count.zorvex.example:80/zrx-beta", [r.line.split(" ")[1] for r in beta])
        self.assertEqual({r.line.split(" ")[1].rsplit("/", 1)[0] for r in beta if r.host != "count.zorvex.example"},
                         {"http://files.mirror.example:80/talvenor/zrx/setup-beta"})
        self.assertFalse(os.path.exists(self.working_folder(beta=True)))

    def test_every_file_comes_from_the_mirror_when_the_server_is_down(self):
        server = self.start_server(bases=("mirror", "counter"))
        self.install()
        self.assertTrue(os.path.isfile(self.tool(False, "Zorvex.exe")))
        self.assertEqual(self.hosts_of(make_sample.FILES), {"files.mirror.example"})
        # The server is asked once, for the manifest, and never again.
        main = [r for r in server.requests() if r.host == "download.zorvex.example"]
        self.assertEqual([r.line.split(" ")[1].rsplit("/", 1)[1] for r in main], ["system.xml"])

    # -- self-update ----------------------------------------------------------------------------------------
    def test_a_newer_manifest_replaces_the_running_setup(self):
        server = self.start_server(version=11)
        with open(self.standin_exe, "rb") as f:
            server.put("main", "zrxsetup.exe", f.read())
        # Slowly enough to watch the progress bar follow the download.
        server.misbehave("main", "zrxsetup.exe", "slow 50")
        setup = self.launch()
        bar = poll("download progress", lambda: self.progress(setup))
        self.assertEqual(int(bar.value.split("/")[1]), os.path.getsize(self.standin_exe))
        self.assertEqual(setup.wait_exit(120), 0)
        started = poll("the successor setup to start", lambda: [e for e in self.standin_log()
                                                                if e[0].startswith("zrxsetup-")])
        self.assertRegex(started[0][0], r"^zrxsetup-\d{14}\.exe$")
        # With the switch that keeps the successor from updating again, naming this setup.
        self.assertRegex(started[0][1], r"-updated:\d+$")
        stamp = started[0][0][9:23]
        self.assertTrue(1 <= int(stamp[0:2]) <= 31 and 1 <= int(stamp[2:4]) <= 12 and stamp[4:6] == "20", stamp)
        self.assertTrue(os.path.isfile(self.path("temp", started[0][0])))
        self.assertEqual(server.requested("Langs.xml"), [], "the old setup goes no further")

    def test_version_ten_or_no_number_starts_no_update(self):
        server = self.start_server()
        with open(self.standin_exe, "rb") as f:
            server.put("main", "zrxsetup.exe", f.read())
        for version in ("10", "eleven"):
            # (No subtests: a run left behind by a failure would be driven as the next one's window.)
            server.put("main", "system.xml", make_sample.system_xml(version=version))
            setup = self.launch()
            setup.wait_control("Lang_en_GB")
            setup.close()
            self.assertEqual(setup.wait_exit(), 0, version)
        self.assertEqual(server.requested("zrxsetup.exe"), [])
        self.assertEqual(self.standin_log(), [])

    # -- no server ------------------------------------------------------------------------------------------
    def test_without_any_server(self):
        self.no_server()
        setup = self.launch()
        page = setup.wait_control("lbText5", contains="Internet connection failed.", timeout=60)
        self.assertTrue(page.text.startswith(CANCELLED), page.text)
        setup.screenshot("road-no-internet")
        setup.click("btnNext")
        self.assertEqual(setup.wait_exit(), 0)
        self.assertFalse(os.path.exists(self.working_folder()))

        setup = self.launch("-stream:beta")
        caption, text = setup.answer("ok")
        self.assertEqual((caption, text), ("Zorvex - setup", "You can't use BETA setup in local mode."))
        setup.wait_control("lbText5", text="Zorvex BETA installation has been cancelled.")
        setup.click("btnNext")
        self.assertEqual(setup.wait_exit(), 0)
        self.assertFalse(os.path.exists(self.working_folder(beta=True)))

    # -- languages and licence --------------------------------------------------------------------------------
    def test_a_russian_installation_is_translated_from_the_downloaded_file(self):
        server = self.start_server()
        with open(os.path.join(self.source, "resources", "Lang_ru_RU.xml"), encoding="utf-8-sig") as f:
            russian = f.read()
        # Texts that only the server's file has tell its translation from the built-in one.
        marked = russian.replace("Index='3' Value='", "Index='3' Value='[server] ", 1)
        marked = marked.replace("Index='17' Value='", "Index='17' Value='[server] ", 1)
        self.assertEqual(marked.count("[server]"), 2)
        server.put("main", "Lang_ru_RU.xml", marked)
        setup = self.launch()
        self.pass_language_page(setup, "ru_RU")
        # (Texts outside ASCII are compared here: the driver's command line carries ASCII only.)
        title = setup.wait_control("lbTitle", contains="[server]")
        self.assertEqual(title.text, "[server] Прочтите лицензионное соглашение")
        self.assertEqual(setup.control("cbAcceptEULA").text, "Я &принимаю условия этого соглашения")
        self.assertEqual(len(server.requested("EULA_ru_RU")), 1)
        with open(os.path.join(self.working_folder(), "EULA_ru_RU"), encoding="utf-8") as f:
            self.assertIn(make_sample.EULA_MARK["ru_RU"], f.read())
        setup.screenshot("road-licence-ru")
        self.accept_licence(setup)
        self.confirm_install(setup)
        final = setup.wait_control("lbText5", contains="[server]", timeout=120)
        self.assertEqual(final.text, "[server] Установка Zorvex успешно завершена.")
        setup.click("btnNext")
        self.assertEqual(setup.wait_exit(), 0)
        with open(self.path("appdata", "Talvenor", "Zorvex", "Application.xml"), encoding="utf-8-sig") as f:
            self.assertIn("<lang>ru_RU</lang>", f.read())

    def test_missing_language_files_and_licence_fall_back(self):
        server = self.start_server()
        server.remove("main", "Langs.xml")
        server.remove("main", "EULA_en_GB")
        # No language list: no language page; the window language's file and the built-in terms instead.
        setup = self.launch()
        setup.wait_control("cbAcceptEULA")
        self.assertEqual(len(server.requested("Lang_en_GB.xml")), 1)
        with open(os.path.join(self.working_folder(), "EULA_en_GB"), encoding="utf-8") as f:
            built_in = f.read()
        with open(os.path.join(self.source, "resources", "EULA_en_GB.html"), encoding="utf-8") as f:
            self.assertEqual(built_in, f.read())
        setup.close()
        self.assertEqual(setup.wait_exit(), 0)

        # A Russian language picked, with neither its file nor its terms on the server: the window stays
        # English and the built-in Russian terms are shown.
        server.put("main", "Langs.xml", make_sample.langs_xml())
        server.remove("main", "Lang_ru_RU.xml")
        server.remove("main", "EULA_ru_RU")
        setup = self.launch()
        self.pass_language_page(setup, "ru_RU")
        setup.wait_control("lbTitle", text="Read the Software License Terms")
        with open(os.path.join(self.working_folder(), "EULA_ru_RU"), encoding="utf-8") as f:
            with open(os.path.join(self.source, "resources", "EULA_ru_RU.html"), encoding="utf-8") as g:
                self.assertEqual(f.read(), g.read())
        setup.close()
        self.assertEqual(setup.wait_exit(), 0)

        # A language file that is no XML is treated as a missing one: the run goes on in English.
        server.put("main", "Lang_ru_RU.xml", "<Translation><MainWindow Caption=")
        setup = self.launch()
        self.pass_language_page(setup, "ru_RU")
        setup.wait_control("lbTitle", text="Read the Software License Terms")
        self.accept_licence(setup)
        setup.wait_control("rbInstall", text="Install the Zorvex to this computer")
        setup.close()
        self.assertEqual(setup.wait_exit(), 0)

    # -- failures ---------------------------------------------------------------------------------------------
    def test_a_package_that_does_not_arrive_ends_on_the_cancelled_page(self):
        # (Packages that arrive broken: test_install.py's BadPackages.)
        server = self.start_server()
        log = self.path("temp", "zrxsetup.log")
        failures = (("not found", "status 404"), ("no content", "status 204"), ("an empty body", "empty"),
                    ("a reset connection", "reset"), ("a body shorter than announced", "truncate"))
        for what, behaviour in failures:
            for base in ("main", "mirror"):
                server.misbehave(base, "zrxsetup.zip", behaviour)
            setup = self.launch()
            self.pass_language_page(setup)
            self.accept_licence(setup)
            self.confirm_install(setup)
            setup.wait_control("lbText5", text=CANCELLED, timeout=120)
            if behaviour == "status 404":
                setup.screenshot("install-package-not-found")
            # The step log names the download; nothing was installed, nothing of the package stays.
            self.assertEqual(self.log_lines(log), ["Download zrxsetup.zip"], what)
            self.assertFalse(os.path.exists(os.path.join(self.working_folder(), "zrxsetup.zip")), what)
            self.assertFalse(os.path.exists(self.tool()), what)
            self.assertEqual([r.host for r in server.requested("zrxsetup.zip")][-1:], ["download.zorvex.example"],
                             what)
            setup.click("btnNext")
            self.assertEqual(setup.wait_exit(), 0, what)
            self.assertFalse(os.path.exists(self.working_folder()), what)

        # The same road with the package in place installs.
        for base in ("main", "mirror"):
            os.remove(os.path.join(server.folder(base), "zrxsetup.zip.misbehave"))
        self.install()
        self.assertTrue(os.path.isfile(self.tool(False, "Zorvex.exe")))

    # -- closing the window -----------------------------------------------------------------------------------
    def test_closing_at_every_wait_ends_the_run_and_a_later_run_succeeds(self):
        server = self.start_server()

        def close_and_check(setup, where):
            setup.close()
            self.assertEqual(setup.wait_exit(), 0, where)
            # Nothing of the setup is left: no process that could hold a dialog.
            left = [p for p in self.driver("processes") if p[-1].lower() == "zorvexsetup.exe"]
            self.assertEqual(left, [], where)

        setup = self.launch()
        setup.wait_control("Lang_en_GB")
        close_and_check(setup, "language page")
        self.assertEqual(server.requested("Lang_en_GB.xml"), [], "no request after the close")

        setup = self.launch()
        self.pass_language_page(setup)
        setup.wait_control("cbAcceptEULA")
        close_and_check(setup, "licence page")

        setup = self.launch()
        self.pass_language_page(setup)
        self.accept_licence(setup)
        setup.wait_control("rbInstall")
        close_and_check(setup, "choice page")

        # The licence download crawls: the close ends the wait, and the abandoned download is left alone.
        server.put("main", "EULA_en_GB", make_sample.eula("en_GB") * 40)
        server.misbehave("main", "EULA_en_GB", "slow 2000")
        setup = self.launch()
        self.pass_language_page(setup)
        poll("the licence download", lambda: server.requested("EULA_en_GB"))
        close_and_check(setup, "licence download")
        self.calm("EULA_en_GB")

        # The package download crawls; the progress page is closed mid-way.
        server.put("main", "zrxsetup.zip", make_sample.package(self.standin_exe, package_mb=2))
        server.misbehave("main", "zrxsetup.zip", "slow 20")
        setup = self.launch()
        self.pass_language_page(setup)
        self.accept_licence(setup)
        self.confirm_install(setup)
        poll("the package download", lambda: self.progress(setup))
        close_and_check(setup, "package download")
        self.assertFalse(os.path.exists(self.tool(False, "Zorvex.exe")))
        self.calm("zrxsetup.zip")

        # Thousands of small files keep the install worker busy long enough to close the window on it.
        many = [("many/f%05d.txt" % i, b"x") for i in range(6000)]
        server.put("main", "zrxsetup.zip", make_sample.package(self.standin_exe, extra=many))
        setup = self.launch()
        self.pass_language_page(setup)
        self.accept_licence(setup)
        self.confirm_install(setup)
        log = self.path("temp", "zrxsetup.log")
        poll("the install worker to unpack", lambda: "Unzip" in self.log_lines(log))
        close_and_check(setup, "install worker")

        server.put("main", "zrxsetup.zip", make_sample.package(self.standin_exe))
        self.install()
        self.assertTrue(os.path.isfile(self.tool(False, "Zorvex.exe")))
        self.assertFalse(os.path.exists(self.working_folder()))
