"""The keyboard alone, typed as a person types into the window in the foreground: a keyboard-only user
installs the main stream and uninstalls it again, and on the way the focus goes where Tab, Shift+Tab, the arrow
keys and the Alt shortcuts take it."""
import os

import zrx_e2e


class KeyboardOnly(zrx_e2e.ZrxTestCase):
    def press(self, setup, keys, focus):
        """Types keys (a chord or a list of them) and waits for the focus on the control named focus."""
        setup.keys(*([keys] if isinstance(keys, str) else keys))
        return setup.wait_focus(focus)

    def checked(self, setup, *names):
        return [setup.control(name).checked for name in names]

    def test_install_and_uninstall_by_keys(self):
        self.start_server()
        setup = self.launch()

        # Language: the action button first (made before the page), then the group of languages at its checked
        # one; the arrow keys choose within the group, Tab leaves it, Shift+Tab comes back.
        setup.wait_control("Lang_en_GB", checked=1, timeout=60)
        setup.wait_focus("btnNext")
        self.press(setup, "tab", "Lang_en_GB")
        self.press(setup, "down", "Lang_ru_RU")
        self.assertEqual(self.checked(setup, "Lang_en_GB", "Lang_ru_RU"), [0, 1])
        self.press(setup, "down", "Lang_en_GB")
        self.assertEqual(self.checked(setup, "Lang_en_GB", "Lang_ru_RU"), [1, 0])
        self.press(setup, "tab", "btnNext")
        self.press(setup, "shift+tab", "Lang_en_GB")
        setup.screenshot("keyboard-language")
        self.press(setup, "tab", "btnNext")
        setup.keys("return")

        # Licence: the Next button waits for the acceptance, so the viewer has the focus and scrolls; Tab
        # leaves it for the check box, which Space and its Alt shortcut toggle.
        setup.wait_control("cbAcceptEULA", timeout=60)
        setup.wait_control("btnNext", enabled=False)
        setup.wait_focus("TWebBrowser")
        setup.keys("pagedown", "down")
        self.press(setup, "tab", "cbAcceptEULA")
        setup.keys("space")
        setup.wait_control("cbAcceptEULA", checked=1)
        setup.wait_control("btnNext", enabled=True)
        setup.keys("space")
        setup.wait_control("btnNext", enabled=False)
        self.press(setup, "shift+tab", "TWebBrowser")
        setup.screenshot("keyboard-licence-viewer")
        self.press(setup, "alt+a", "cbAcceptEULA")
        setup.wait_control("cbAcceptEULA", checked=1)
        setup.wait_control("btnNext", enabled=True)
        setup.screenshot("keyboard-licence")
        self.press(setup, "tab", "btnNext")
        setup.keys("return")

        # Choice: the other way and back by the arrow keys, the options by Tab and Space; the disabled folder
        # controls are passed over.
        setup.wait_control("rbInstall", checked=1, timeout=60)
        setup.wait_focus("btnNext")
        self.press(setup, "tab", "rbInstall")
        self.press(setup, "down", "rbDownload")
        setup.wait_control("cbDesktopLink", enabled=False)
        setup.wait_control("btnBrowsePath", enabled=True)
        self.press(setup, "up", "rbInstall")
        setup.wait_control("cbDesktopLink", enabled=True)
        self.press(setup, "tab", "cbDesktopLink")
        setup.keys("space")
        self.press(setup, ["tab", "tab"], "cbRunAfterInstall")
        setup.keys("space")
        setup.wait_control("cbRunAfterInstall", checked=0)
        self.assertEqual(self.checked(setup, "cbDesktopLink", "cbTaskbarPin"), [1, 0])
        setup.screenshot("keyboard-choice")
        self.press(setup, "tab", "btnNext")
        setup.keys("return")
        # The size question: Return takes its default answer, Yes.
        caption, text, _ = setup.dialog()
        self.assertIn("Download size", text)
        setup.keys("return")

        setup.wait_control("lbText5", text="Installation of Zorvex has been completed successfully.", timeout=120)
        setup.wait_focus("btnNext")
        setup.keys("return")
        self.assertEqual(setup.wait_exit(), 0)
        install = self.path("localappdata", "Talvenor", "Apps", "Zorvex")
        self.assertTrue(os.path.isfile(os.path.join(install, "Zorvex.exe")))
        self.assertTrue(os.path.isfile(self.path("desktop", "Zorvex.lnk")))
        self.assertEqual(self.standin_log(), [])

        # The uninstaller: Exit first, Tab to the stream's button, Return removes it, Return leaves.
        remover = self.launch("-uninstallnow")
        remover.wait_control("btnUninstall", enabled=True, timeout=60)
        remover.wait_focus("btnNext")
        self.press(remover, "tab", "btnUninstall")
        remover.screenshot("keyboard-uninstall")
        remover.keys("return")
        remover.wait_control("lbSad", timeout=120)
        remover.wait_focus("btnNext")
        remover.keys("return")
        self.assertEqual(remover.wait_exit(), 0)
        self.assertFalse(os.path.exists(os.path.join(install, "Zorvex.exe")))
        self.assertFalse(os.path.exists(self.path("desktop", "Zorvex.lnk")))
        self.assertFalse(os.path.exists(self.path("programs", "Zorvex")))
        self.assertIsNone(self.reg_query(r"HKCU\Software\TlvCorp\zrx", "key"))

    def test_alt_f4_still_closes_the_window(self):
        self.start_server()
        setup = self.launch()
        setup.wait_focus("btnNext")
        setup.keys("alt+f4")
        self.assertEqual(setup.wait_exit(), 0)
