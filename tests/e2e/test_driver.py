"""The driver's contract on the real setup: what a failing step reports, message boxes and the folder dialog."""
import os

import zrx_e2e
from zrx_e2e import make_sample


class FailingSteps(zrx_e2e.ZrxTestCase):
    def test_a_failing_step_names_what_it_waited_for_and_what_the_window_showed(self):
        self.no_server()
        setup = self.launch()
        setup.wait_control("lbText5", contains="Internet connection failed")

        with self.assertRaises(AssertionError) as wrong_text:
            setup.wait_control("btnNext", text="Continue", timeout=1)
        message = str(wrong_text.exception)
        self.assertIn("waiting for the control 'btnNext' to be visible, with the text 'Continue'", message)
        self.assertIn("it is: btnNext TButton", message)  # what the control is instead
        self.assertIn("the window 'Zorvex instalation (including Quellpack)' shows:", message)
        self.assertIn("lbText5 TLabel", message)

        with self.assertRaises(AssertionError) as missing:
            setup.click("btnMissing", timeout=1)
        self.assertIn("'btnMissing' to be visible, enabled", str(missing.exception))
        self.assertIn("appLogo TImage", str(missing.exception))

        with self.assertRaises(AssertionError) as no_box:
            setup.answer("yes", timeout=1)
        self.assertIn("waiting for a message box", str(no_box.exception))
        self.assertIn("btnNext TButton", str(no_box.exception))

        setup.close()
        self.assertEqual(setup.wait_exit(), 0)
        with self.assertRaises(AssertionError) as ended:
            setup.wait_control("btnNext", timeout=1)
        self.assertIn("the setup has ended with exit code 0", str(ended.exception))

    def test_a_setup_attached_to_that_ends_is_reported_with_its_exit_code(self):
        # As a self-update's successor is: found by its file name, not started by the harness.
        self.no_server()
        self.launch().wait_control("lbText5", contains="Internet connection failed")
        attached = self.attach("ZorvexSetup.exe")
        attached.close()
        self.assertEqual(attached.wait_exit(), 0)
        with self.assertRaises(AssertionError) as ended:
            attached.wait_control("btnNext", timeout=1)
        self.assertIn("the setup has ended with exit code 0", str(ended.exception))


class Dialogs(zrx_e2e.ZrxTestCase):
    def choice_page(self):
        self.start_server()
        setup = self.launch()
        setup.wait_control("Lang_en_GB", checked=1)
        setup.click("Continue")
        setup.click("cbAcceptEULA")
        setup.click("Continue")
        setup.wait_control("rbInstall", checked=1)
        return setup

    def test_message_boxes_are_read_and_answered(self):
        setup = self.choice_page()
        setup.click("Next")
        caption, text, _ = setup.dialog()
        self.assertEqual(caption, "Zorvex instalation - Confirm downloading")
        # The sample manifest announces the package it serves.
        with open(os.path.join(self.server.folder("main"), "zrxsetup.zip"), "rb") as f:
            self.assertIn("Download size: %s Mb" % make_sample.size_text(f.read()), text)
        # A button that the box lacks is refused, naming the buttons it has; the box stays open.
        with self.assertRaises(AssertionError) as no_ok:
            setup.answer("ok")
        self.assertIn("has no button 'ok'; its buttons: ", str(no_ok.exception))
        self.assertEqual(setup.answer("no"), (caption, text))
        # No: the page stays, and the next click asks again.
        setup.wait_control("rbInstall", checked=1)
        setup.click("Next")
        self.assertEqual(setup.answer("no")[0], caption)
        setup.close()
        self.assertEqual(setup.wait_exit(), 0)

    def test_the_folder_dialog_chooses_a_folder_or_is_cancelled(self):
        setup = self.choice_page()
        target = self.path("temp", "zrx folder")
        os.makedirs(target)
        setup.click("rbDownload")
        setup.click("btnBrowsePath")
        caption, text = setup.choose_folder(target)
        self.assertIn("Select the location to download:", text)
        chosen = setup.wait_control("eLocalPath", text=self.win_path(target) + "\\")
        self.assertEqual(chosen.value, "readonly")
        setup.click("btnBrowsePath")
        setup.choose_folder(None)
        setup.wait_control("btnBrowsePath", enabled=True)
        self.assertEqual(setup.control("eLocalPath").text, chosen.text)
        # The controls of earlier pages stay in the window, hidden.
        hidden = {c.name: c for c in setup.controls(all=True) if not c.visible}
        self.assertIn("cbAcceptEULA", hidden)
        self.assertEqual(hidden["Lang_en_GB"].parent, "lbBox")
        setup.close()
        self.assertEqual(setup.wait_exit(), 0)
