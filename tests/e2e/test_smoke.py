"""The setup starts on its preparation page, reports a failed connection when no server answers, and ends
cleanly when its window is closed."""
import os

import zrx_e2e

PREPARE = "Please wait while setup prepares the necessary files."


class Smoke(zrx_e2e.ZrxTestCase):
    def test_no_server_reachable(self):
        self.no_server()
        setup = self.launch()
        # The preparation page comes first; the failed-connection page replaces it as soon as every source fails.
        self.assertEqual(setup.wait_control("lbPrepareText", visible=None).text, PREPARE)
        logo = setup.wait_control("appLogo")
        page = setup.wait_control("lbText5", contains="Internet connection failed")
        self.assertEqual((page.x, page.y, page.w, page.h), (46, 146, 518, 272))
        self.assertEqual((logo.x, logo.y), (16, 16))
        self.assertEqual(setup.wait_control("btnNext").text, "Close")
        self.assertIsNone(setup.control("lbPrepareText").visible or None)
        setup.screenshot("smoke-no-internet")

        setup.click("Close")
        self.assertEqual(setup.wait_exit(), 0)
        self.assertFalse(os.path.exists(self.working_folder()))
        # The harness samples the process's memory while it runs and keeps the peak after its end.
        self.assertGreater(setup.peak_mb, 5)

    def test_preparation_page_while_the_server_is_silent(self):
        # Requests hang unanswered: the setup stays on its preparation page.
        self.silent_server()
        setup = self.launch()
        logo = setup.wait_control("appLogo")
        self.assertEqual((logo.x, logo.y, logo.w, logo.h), (53, 20, 505, 125))
        text = setup.wait_control("lbPrepareText", text=PREPARE)
        self.assertEqual((text.x, text.y, text.w, text.h), (0, 220, 610, 50))
        setup.wait_control("NetWork")  # a request is under way
        visible = {c.name for c in setup.controls()}
        self.assertFalse({"btnNext", "lbTitle"} & visible, visible)
        shot = setup.screenshot("smoke-prepare")
        self.assertGreater(os.path.getsize(shot), 1000)

        setup.close()  # as the close box does
        self.assertEqual(setup.wait_exit(), 0)
