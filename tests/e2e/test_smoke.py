"""The setup starts, shows its preparation page while no server answers, and ends cleanly when closed."""
import os

import zrx_e2e


class Smoke(zrx_e2e.ZrxTestCase):
    def test_preparation_page_then_close(self):
        # Requests hang unanswered: the setup stays on its preparation page.
        self.silent_server()
        setup = self.launch()
        logo = setup.wait_control("appLogo")
        self.assertEqual((logo.x, logo.y, logo.w, logo.h), (53, 20, 505, 125))
        text = setup.wait_control("lbPrepareText", text="Please wait while setup prepares the necessary files.")
        self.assertEqual((text.x, text.y, text.w, text.h), (0, 220, 610, 50))
        visible = {c.name for c in setup.controls()}
        self.assertFalse({"btnNext", "lbTitle"} & visible, visible)
        shot = setup.screenshot("smoke-prepare")
        self.assertGreater(os.path.getsize(shot), 1000)

        setup.close()
        self.assertEqual(setup.wait_exit(), 0)
        self.assertFalse(os.path.exists(self.working_folder()))
