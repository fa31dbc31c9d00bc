"""Servers that stop answering, never end a body, or send a successor that is no program, and a window closed
during every download: each transfer gives up in time and leaves no file behind, the run goes on as for a
failed request or ends saying why, and a closed window ends the process with its working folder removed.
Every case prints the setup's peak memory."""
import glob
import os
import time

import zrx_e2e
from zrx_e2e import make_sample, poll

CORRUPT = "Setup files are corrupt or missing"
CANCELLED = "Zorvex installation has been cancelled."
BUILT_IN_LICENCE = os.path.join(zrx_e2e.SOURCE, "resources", "EULA_en_GB.html")


class HostileNetwork(zrx_e2e.ZrxTestCase):
    def setUp(self):
        super().setUp()
        self.directx_present()

    # -- helpers ----------------------------------------------------------------------------------------------
    def report(self, setup, what):
        print("\n  %s: peak %.1f MB" % (what, setup.peak_mb), end="", flush=True)

    def ends_clean(self, setup, what, timeout=20):
        """The setup ends well (exit 0) and takes its working folder, with every file in it, along."""
        self.assertEqual(setup.wait_exit(timeout), 0, what)
        self.report(setup, what)
        self.assertFalse(os.path.exists(self.working_folder()), what + ": the working folder stays")

    def close_during(self, setup, what):
        setup.close()
        self.ends_clean(setup, "closed during " + what)

    def counting(self, setup):
        """The install page's count once some bytes have arrived (the bar stays empty for a body of no
        announced length)."""
        label = setup.control("lbText4")
        return label if label and label.text.startswith("Downloaded: ") and not label.text.startswith(
            "Downloaded: 0.00 ") else None


    def cancelled_page(self, setup, timeout=120):
        """A package that did not arrive: the cancelled page, the step log naming the download, no package
        left in the working folder; closed by its button."""
        setup.wait_control("lbText5", text=CANCELLED, timeout=timeout)
        with open(self.path("temp", "zrxsetup.log"), encoding="ascii") as f:
            self.assertEqual(f.read().splitlines(), ["Download zrxsetup.zip"])
        self.assertFalse(os.path.exists(os.path.join(self.working_folder(), "zrxsetup.zip")))
        setup.click("btnNext")

    def successors(self):
        return sorted(glob.glob(self.path("temp", "zrxsetup-*.exe")))

    def calm(self, name):
        self.server.remove("main", name)
        self.server.put("main", name, make_sample.read(os.path.join(self.server.folder("mirror"), name)))

    # -- a closed window ------------------------------------------------------------------------------------
    def test_closing_during_every_download_removes_the_working_folder(self):
        server = self.start_server()
        # The first request, to a server that never answers.
        server.misbehave("main", "system.xml", "silent")
        setup = self.launch()
        poll("the first request", lambda: server.requested("system.xml"))
        self.close_during(setup, "the first request")
        self.calm("system.xml")

        # The newer setup, crawling in.
        server.put("main", "system.xml", make_sample.system_xml(version=11))
        server.put("main", "zrxsetup.exe", make_sample.read(self.setup_exe))
        server.misbehave("main", "zrxsetup.exe", "slow 20")
        setup = self.launch()
        poll("the newer setup's download", lambda: self.counting(setup))
        self.close_during(setup, "the newer setup's download")
        self.assertEqual(self.successors(), [])
        server.put("main", "system.xml", make_sample.system_xml())

        # The package, from a server that never ends it (20 MB a second): no partial file of any size stays.
        server.misbehave("main", "zrxsetup.zip", "endless 20")
        setup = self.launch()
        setup.install_with_defaults()
        poll("the package download", lambda: self.counting(setup))
        time.sleep(2)
        self.close_during(setup, "the package download")
        self.assertFalse(os.path.exists(self.path("localappdata", "Talvenor", "Apps", "Zorvex")))

        # The licence terms, crawling in after the source was chosen.
        server.put("main", "EULA_en_GB", make_sample.eula("en_GB") * 40)
        server.misbehave("main", "EULA_en_GB", "slow 200")
        setup = self.launch()
        setup.wait_control("Lang_en_GB", checked=1)
        setup.click("btnNext")
        poll("the licence download", lambda: server.requested("EULA_en_GB"))
        self.close_during(setup, "the licence download")

    # -- servers that stop sending ----------------------------------------------------------------------------
    def test_a_server_that_never_answers_gives_way_to_the_mirror(self):
        server = self.start_server()
        server.misbehave("main", "system.xml", "silent")
        setup = self.launch()
        # The request gives up after its read timeout of 30 s.
        setup.wait_control("Lang_en_GB", checked=1, timeout=90)
        self.report(setup, "silent server")
        self.assertEqual([r.host for r in server.requested("system.xml")],
                         ["download.zorvex.example", "files.mirror.example"])
        self.assertEqual({r.host for r in server.requested("Langs.xml")}, {"files.mirror.example"})
        setup.close()
        self.ends_clean(setup, "silent server")

    def test_a_body_that_stops_halfway_gives_way_to_the_mirror(self):
        server = self.start_server()
        server.put("main", "system.xml", make_sample.system_xml() + b"<!--" + b"padding " * 4000 + b"-->")
        server.misbehave("main", "system.xml", "stall")
        setup = self.launch()
        setup.wait_control("Lang_en_GB", checked=1, timeout=90)
        self.report(setup, "body stopping halfway")
        self.assertEqual({r.host for r in server.requested("Langs.xml")}, {"files.mirror.example"})
        setup.close()
        self.ends_clean(setup, "body stopping halfway")

    def test_licence_terms_that_stop_halfway_count_as_missing(self):
        server = self.start_server()
        server.put("main", "EULA_en_GB", make_sample.eula("en_GB") * 40)
        server.misbehave("main", "EULA_en_GB", "stall")
        setup = self.launch()
        setup.wait_control("Lang_en_GB", checked=1)
        setup.click("btnNext")
        # After the read timeout the built-in terms are shown, as for terms that did not arrive.
        setup.wait_control("cbAcceptEULA", timeout=90)
        self.report(setup, "licence stopping halfway")
        with open(os.path.join(self.working_folder(), "EULA_en_GB"), encoding="utf-8") as f:
            with open(BUILT_IN_LICENCE, encoding="utf-8") as g:
                self.assertEqual(f.read(), g.read())
        setup.close()
        self.ends_clean(setup, "licence stopping halfway")

    def test_a_server_that_dribbles_gives_way_to_the_mirror_and_a_slow_package_still_arrives(self):
        # A byte every 20 s never leaves the server silent for the read timeout; a minute for the whole
        # manifest ends the request all the same.
        server = self.start_server()
        server.misbehave("main", "system.xml", "dribble 20")
        started = time.monotonic()
        setup = self.launch()
        setup.wait_control("Lang_en_GB", checked=1, timeout=150)
        waited = time.monotonic() - started
        self.report(setup, "dribbling manifest")
        print(" mirror after %.1f s" % waited, end="")
        self.assertGreaterEqual(waited, 55)  # the minute, not the read timeout, ended it
        self.assertEqual([r.host for r in server.requested("system.xml")],
                         ["download.zorvex.example", "files.mirror.example"])
        self.assertEqual({r.host for r in server.requested("Langs.xml")}, {"files.mirror.example"})

        # The package has no such deadline: one that takes longer than a minute, never silent for long,
        # arrives and installs.
        package = os.path.getsize(os.path.join(server.folder("mirror"), "zrxsetup.zip"))
        pause = max(20, 75000 * 1024 // package)  # 1 KB pieces over some 75 s
        server.misbehave("mirror", "zrxsetup.zip", "slow %d" % pause)
        setup.install_with_defaults()
        started = time.monotonic()
        setup.wait_control("lbText5", text="Installation of Zorvex has been completed successfully.", timeout=240)
        print(", package after %.1f s" % (time.monotonic() - started), end="")
        self.assertGreater(time.monotonic() - started, 60)
        self.assertTrue(os.path.isfile(self.path("localappdata", "Talvenor", "Apps", "Zorvex", "Zorvex.exe")))
        setup.click("btnNext")
        self.ends_clean(setup, "slow package")

    # -- bodies without end ---------------------------------------------------------------------------------
    def test_endless_bodies_are_refused_and_leave_nothing(self):
        server = self.start_server()
        # An endless manifest counts as one that did not arrive: the mirror serves the run. The counter's
        # endless reply, which nobody waits for, stays bounded too.
        server.misbehave("main", "system.xml", "endless-chunked")
        server.put("counter", "zrx-main", "")
        server.misbehave("counter", "zrx-main", "endless")
        setup = self.launch()
        setup.wait_control("Lang_en_GB", checked=1, timeout=60)
        self.assertEqual({r.host for r in server.requested("Langs.xml")}, {"files.mirror.example"})
        time.sleep(3)  # the counter's reply runs on meanwhile, as fast as it goes
        self.report(setup, "endless manifest and counter")
        self.assertLess(setup.peak_mb, 200)

        # An endless package is refused beyond the largest one the setup takes; the run ends as for a package
        # that did not arrive, and no partial file stays. (The mirror serves this run.)
        server.misbehave("mirror", "zrxsetup.zip", "endless")
        setup.install_with_defaults()
        started = time.monotonic()
        poll("the package request", lambda: server.requested("zrxsetup.zip"))
        self.cancelled_page(setup, timeout=240)
        print(" after %.1f s" % (time.monotonic() - started), end="")
        self.ends_clean(setup, "endless package")
        self.assertLess(setup.peak_mb, 200)

        # A package announced as a terabyte is refused before any of it is written.
        server.misbehave("mirror", "zrxsetup.zip", "huge")
        setup = self.launch()
        setup.install_with_defaults()
        self.cancelled_page(setup)
        self.ends_clean(setup, "package announced as a terabyte")
        self.assertFalse(os.path.exists(self.path("localappdata", "Talvenor", "Apps", "Zorvex")))

    # -- self-update ------------------------------------------------------------------------------------------
    def test_a_successor_that_is_the_same_setup_does_not_update_again(self):
        server = self.start_server(version=11)
        server.put("main", "zrxsetup.exe", make_sample.read(self.setup_exe))
        setup = self.launch()
        self.assertEqual(setup.wait_exit(60), 0)
        self.report(setup, "setup updating itself")
        successor = poll("the successor", self.successors)
        self.assertEqual(len(successor), 1, successor)
        # The successor reads the same manifest, yet goes on to the language page instead of updating.
        started = self.attach(os.path.basename(successor[0]))
        started.wait_control("Lang_en_GB", checked=1)
        self.report(started, "successor")
        self.assertEqual(len(server.requested("zrxsetup.exe")), 1)
        self.assertEqual(len(server.requested("system.xml")), 2)
        self.assertEqual(self.successors(), successor)
        started.close()
        self.assertEqual(started.wait_exit(), 0)

    def test_a_successor_waits_for_its_predecessor_to_end(self):
        # Both use the same working folder, which the predecessor removes as it ends: the successor asks for
        # nothing before that.
        server = self.start_server()
        first = self.launch()
        first.wait_control("Lang_en_GB", checked=1)
        asked = len(server.requested("system.xml"))
        copy = self.copy_setup(os.path.join(self.run_dir, "zrxsetup-successor.exe"))
        successor = self.launch("-updated:%s" % first.pid, exe=copy)
        time.sleep(3)
        self.assertEqual(len(server.requested("system.xml")), asked, "the successor asked while its predecessor ran")
        first.close()
        self.assertEqual(first.wait_exit(), 0)
        successor.wait_control("Lang_en_GB", checked=1)
        self.report(successor, "successor that waited")
        successor.close()
        self.assertEqual(successor.wait_exit(), 0)

    def test_a_successor_that_is_no_program_is_refused_with_a_message(self):
        server = self.start_server(version=11)
        pages = (("a web page", b"<!DOCTYPE html>\n<html><body><h1>Moved</h1></body></html>\n"),
                 ("random bytes", os.urandom(300000)),
                 ("no file at all", None))
        for what, body in pages:
            if body is None:
                server.misbehave("main", "zrxsetup.exe", "status 404")
            else:
                server.put("main", "zrxsetup.exe", body)
            setup = self.launch()
            caption, text = setup.answer("ok")
            self.assertEqual(caption, "Zorvex instalation", what)
            self.assertIn(CORRUPT, text, what)
            self.assertIn("http://www.zorvex.example/", text, what)
            self.ends_clean(setup, "successor that is " + what)
            self.assertEqual(self.successors(), [], what)
        self.assertEqual(self.standin_log(), [])
        self.assertEqual(server.requested("Langs.xml"), [], "the old setup goes no further")
