"""The DirectX check before the choice page: nothing is asked while the library is in the system folder;
otherwise the user may fetch and run the DirectX web setup, and the window keeps answering while it runs."""
import os
import time

import zrx_e2e

CONFIRM = "Zorvex instalation - Confirm downloading"


class DirectX(zrx_e2e.ZrxTestCase):
    def setUp(self):
        super().setUp()
        self.library = self.path("system", "d3dx9_33.dll")

    def hide_library(self):
        if os.path.exists(self.library):
            os.rename(self.library, self.library + ".hidden")
            self.addCleanup(os.rename, self.library + ".hidden", self.library)

    def walk_past_the_licence(self):
        setup = self.launch()
        setup.wait_control("Lang_en_GB", checked=1)
        setup.click("btnNext")
        setup.click("cbAcceptEULA")
        setup.click("btnNext")
        return setup

    def started(self, name):
        return [entry for entry in self.standin_log() if entry[0].lower() == name]

    def test_no_question_while_the_library_is_there(self):
        self.assertTrue(os.path.isfile(self.library), "the test prefix lacks " + self.library)
        server = self.start_server()
        setup = self.walk_past_the_licence()
        # The question would stand before the choice page.
        setup.wait_control("rbInstall", checked=1)
        self.assertEqual(server.requested("dxwebsetup.exe"), [])
        setup.close()
        self.assertEqual(setup.wait_exit(), 0)

    def test_a_missing_library_and_the_answer_no(self):
        self.hide_library()
        server = self.start_server()
        setup = self.walk_past_the_licence()
        caption, text = setup.answer("no")
        self.assertEqual(caption, CONFIRM)
        self.assertIn("required version of DirectX", text)
        setup.wait_control("rbInstall", checked=1)
        self.assertEqual(server.requested("dxwebsetup.exe"), [])
        self.assertEqual(self.started("dxwebsetup.exe"), [])
        setup.close()
        self.assertEqual(setup.wait_exit(), 0)

    def test_a_missing_library_and_the_answer_yes_runs_the_web_setup(self):
        self.hide_library()
        server = self.start_server()
        setup = self.walk_past_the_licence()
        caption, _ = setup.answer("yes")
        self.assertEqual(caption, CONFIRM)
        deadline = time.time() + 60
        while not self.started("dxwebsetup.exe"):
            self.assertLess(time.time(), deadline, "the web setup did not start")
            time.sleep(0.05)
        # The web setup runs for two seconds; meanwhile the window answers and the choice page waits.
        self.assertTrue(setup.controls())
        self.assertIsNone(setup.control("rbInstall"))
        setup.screenshot("directx-running")
        setup.wait_control("rbInstall", checked=1)
        self.assertEqual([r.status for r in server.requested("dxwebsetup.exe")], ["200"])
        (name, command, hidden), = self.started("dxwebsetup.exe")
        self.assertTrue(command.endswith(" /Q"), command)
        self.assertFalse(hidden)
        setup.close()
        self.assertEqual(setup.wait_exit(), 0)

    def test_a_failed_download_asks_once_more_and_goes_on(self):
        self.hide_library()
        server = self.start_server()
        server.misbehave("main", "dxwebsetup.exe", "status 404")
        setup = self.walk_past_the_licence()
        setup.answer("yes")
        caption, text = setup.answer("no")
        self.assertEqual(caption, "Zorvex instalation - File donwload error")
        self.assertEqual(text, "Can't download DirectX setup.")
        setup.wait_control("rbInstall", checked=1)
        self.assertEqual(self.started("dxwebsetup.exe"), [])
        setup.close()
        self.assertEqual(setup.wait_exit(), 0)

    def test_closing_the_window_during_the_download_asks_nothing_more(self):
        self.hide_library()
        server = self.start_server()
        server.misbehave("main", "dxwebsetup.exe", "slow 200")
        setup = self.walk_past_the_licence()
        setup.answer("yes")
        deadline = time.time() + 60
        while not server.requested("dxwebsetup.exe"):
            self.assertLess(time.time(), deadline, "the web setup was not asked for")
            time.sleep(0.05)
        setup.close()
        # A question now would hold the process open with nobody to answer it.
        self.assertEqual(setup.wait_exit(), 0)
        self.assertEqual(self.started("dxwebsetup.exe"), [])
