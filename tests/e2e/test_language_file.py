"""A downloaded language file as translators write them: lists shorter than the built-in ones that still give
every line a page reads translate the window, and the lines they leave out stay built-in; a file may widen
the window for longer texts within the screen, and the pages follow the new size."""
import os

import zrx_e2e
from test_hostile_lang import lang_file

LICENCE_LABEL = "To continue you must accept the terms of this agreement."


class LanguageFile(zrx_e2e.ZrxTestCase):
    def setUp(self):
        super().setUp()
        self.directx_present()

    def start_with(self, lang_xml):
        server = self.start_server()
        for base in ("main", "mirror"):
            server.put(base, "Lang_en_GB.xml", lang_xml.encode("utf-8"))
        setup = self.launch()
        setup.wait_control("Lang_en_GB", checked=1)
        setup.click("btnNext")
        return setup

    def test_short_lists_that_give_every_line_read_translate_the_window(self):
        # Shortcuts with 4 lines and UninstallStrings with 6: every line the pages and the links read.
        text = lang_file(4, "Kurz: $AppName$ verlangt Zustimmung.", counts={"5": "3", "10": "5"})
        text = text.replace("Value='Run $AppName$'", "Value='Starte $AppName$'")
        setup = self.start_with(text)
        setup.wait_control("lbText2", text="Kurz: Zorvex verlangt Zustimmung.", timeout=60)
        setup.click("cbAcceptEULA")
        setup.click("btnNext")
        setup.wait_control("rbInstall", checked=1)
        setup.click("btnNext")
        setup.answer("yes")
        setup.wait_control("lbText5", text="Installation of Zorvex has been completed successfully.", timeout=120)
        setup.click("btnNext")
        self.assertEqual(setup.wait_exit(), 0)
        group = self.path("programs", "Zorvex")
        self.assertEqual(sorted(os.listdir(group)),
                         ["Command line documentation.lnk", "Go to Zorvex web site.lnk", "Starte Zorvex.lnk",
                          "Uninstall Zorvex.lnk"])

    def test_a_file_widens_the_window_within_the_screen(self):
        setup = self.start_with(lang_file(window_attrs="ClientWidth='700' ClientHeight='500'"))
        label = setup.wait_control("lbText2", contains=LICENCE_LABEL, timeout=60)
        self.assertEqual((label.x, label.y, label.w), (46, 88, 700 - 92))
        button = setup.control("btnNext")
        self.assertEqual((button.x, button.y), (700 - 103, 500 - 40))
        window = setup.window()
        self.assertTrue(window.visible and window.enabled and window.closable, window)
        self.assertGreater((window.w, window.h), (700, 500))
        setup.screenshot("language-file-700x500-licence")
        setup.click("cbAcceptEULA")
        setup.click("btnNext")
        self.assertEqual(setup.wait_control("rbInstall", checked=1).w, 700 - 92)
        setup.screenshot("language-file-700x500-choice")
        setup.close()
        self.assertEqual(setup.wait_exit(), 0)


if __name__ == "__main__":
    import unittest
    unittest.main()
