"""Every text of every page fits its control, in English and Russian, main and beta stream: the install road,
the failed connection, the local installation and the uninstaller, each page measured (texts.py) and kept as a
screenshot (fits-*.png)."""
import os

import layout
import texts
import zrx_e2e
from zrx_e2e import make_sample

STREAMS = {False: "main", True: "beta"}


class TextsFit(zrx_e2e.ZrxTestCase):
    def setUp(self):
        super().setUp()
        self.directx_present()

    def slow(self, server, beta, name, ms):
        server.misbehave("beta" if beta else "main", name, "slow %d" % ms)

    def to_choice_page(self, setup, lang, page):
        """From the language page to the choice page, each page checked on the way."""
        setup.wait_control("Lang_en_GB")
        texts.check(self, setup, "language-" + page)
        if not setup.control("Lang_" + lang).checked:
            setup.click("Lang_" + lang)
        setup.click("btnNext")
        setup.wait_control("cbAcceptEULA")
        setup.wait_control("lbText2")
        texts.check(self, setup, "licence-" + page)
        setup.click("cbAcceptEULA")
        setup.click("btnNext")
        setup.wait_control("rbInstall", checked=1)
        texts.check(self, setup, "choice-" + page)

    def install_road(self, lang, beta):
        page = "%s-%s" % (lang, STREAMS[beta])
        server = self.start_server()
        # Slow enough to find the preparation and the progress pages: the language list comes in four pieces a
        # second apart.
        base = "beta" if beta else "main"
        server.put(base, "Langs.xml", make_sample.langs_xml().replace(b"</langs>", b"<!--" + b" " * 3000 + b"--></langs>"))
        self.slow(server, beta, "Langs.xml", 1000)
        self.slow(server, beta, "zrxsetup.zip", 100)
        setup = self.launch(*(["-stream:beta"] if beta else []), lang=lang)
        setup.wait_control("lbPrepareText")
        texts.check(self, setup, "prepare-" + page)
        self.to_choice_page(setup, lang, page)
        setup.click("btnNext")
        setup.answer("yes")
        setup.wait_control("PB", timeout=60)
        texts.check(self, setup, "install-" + page)
        setup.wait_control("lbText5", timeout=120)
        texts.check(self, setup, "final-" + page)
        setup.click("btnNext")
        self.assertEqual(setup.wait_exit(), 0)
        self.server.stop()
        self.server = None

    def test_install_road_english(self):
        self.install_road("en_GB", beta=False)
        self.install_road("en_GB", beta=True)

    def test_install_road_russian(self):
        self.install_road("ru_RU", beta=False)
        self.install_road("ru_RU", beta=True)

    def test_failed_connection(self):
        self.no_server()
        for lang in ("en_GB", "ru_RU"):
            setup = self.launch(lang=lang)
            setup.wait_control("lbText5", timeout=60)
            texts.check(self, setup, "nointernet-%s-main" % lang)
            setup.click("btnNext")
            self.assertEqual(setup.wait_exit(), 0)

    def test_local_installation_road(self):
        for lang in ("en_GB", "ru_RU"):
            page = "%s-main" % lang
            server = self.start_server()
            self.slow(server, False, "zrxsetup.zip", 100)
            setup = self.launch(lang=lang)
            self.to_choice_page(setup, lang, "local-" + page)
            setup.click("rbDownload")
            setup.wait_control("btnBrowsePath", enabled=True)
            texts.check(self, setup, "choice-download-" + page)
            setup.click("btnNext")
            setup.wait_control("pbLocal", timeout=60)
            texts.check(self, setup, "local-progress-" + page)
            setup.wait_control("btnNext", enabled=True, timeout=120)
            setup.wait_control("lbText4")
            texts.check(self, setup, "local-done-" + page)
            setup.close()
            self.assertEqual(setup.wait_exit(), 0)
            self.server.stop()
            self.server = None
            for name in os.listdir(self.path("desktop")):
                os.remove(os.path.join(self.path("desktop"), name))

    def test_uninstall_road(self):
        for lang in ("en_GB", "ru_RU"):
            layout.lay_out(self, beta=False)
            layout.lay_out(self, beta=True)
            setup = self.launch("-uninstallnow", lang=lang)
            setup.wait_control("btnUninstallBeta")
            texts.check(self, setup, "uninstall-first-" + lang)
            setup.click("btnUninstall")
            setup.wait_control("PB")
            texts.check(self, setup, "uninstall-progress-" + lang)
            setup.wait_control("lbSadText", timeout=60)
            texts.check(self, setup, "uninstall-done-" + lang)
            setup.click("btnNext")
            self.assertEqual(setup.wait_exit(), 0)

    def test_the_prefix_has_wines_own_fonts(self):
        # Marlett draws the title bar's buttons (else they show as "0 1 r"); Tahoma has the Cyrillic letters.
        listed = self.session.wine(["reg", "query", r"HKLM\Software\Microsoft\Windows NT\CurrentVersion\Fonts"])
        fonts = {}
        for line in listed.stdout.decode("utf-8", "replace").splitlines():
            name, _, path = line.strip().partition("    REG_SZ    ")
            fonts[name] = path
        for font in ("Marlett (TrueType)", "Tahoma (TrueType)", "Tahoma Bold (TrueType)"):
            path = fonts.get(font)
            self.assertTrue(path and os.path.isfile(self.unix_path(path)), "%s: %s" % (font, path))

    def test_a_caption_longer_than_its_control_is_named(self):
        server = self.start_server()
        with open(os.path.join(self.source, "resources", "Lang_en_GB.xml"), encoding="utf-8-sig") as f:
            english = f.read()
        longer = english.replace("Value='Create desktop icon'",
                                 "Value='Create desktop icon and a few more words than its box holds'")
        self.assertNotEqual(longer, english)
        server.put("main", "Lang_en_GB.xml", longer)
        setup = self.launch()
        setup.wait_control("Lang_en_GB")
        setup.click("btnNext")
        setup.click("cbAcceptEULA")
        setup.click("btnNext")
        setup.wait_control("cbDesktopLink")
        with self.assertRaises(AssertionError) as failed:
            texts.check(self, setup, "choice-too-long")
        message = str(failed.exception)
        self.assertIn("cbDesktopLink", message)
        self.assertIn("a few more words", message)
        # The others still fit.
        self.assertEqual(message.count("needs"), 1, message)
        setup.close()
        self.assertEqual(setup.wait_exit(), 0)


if __name__ == "__main__":
    import unittest
    unittest.main()
