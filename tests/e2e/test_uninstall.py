"""The uninstall road: the installed "uninstall.exe" hands over to a copy in the temporary folder, which lets the
user choose a stream on its first page and removes exactly that stream's installation."""
import filecmp
import os
import subprocess
import time

import layout
import zrx_e2e

COPY = "zrx-uninstall.exe"
TEXTS = {
    "en_GB": {"caption": "Uninstalling %s (including Quellpack)", "exit": "Exit", "title": "What do you want to do?",
              "uninstall": "Uninstall %s", "progress": "Uninstalling...", "done": "%s was deleted"},
    "ru_RU": {"caption": "Удаление %s (включая Quellpack)", "exit": "Выход", "title": "Что вы хотите сделать?",
              "uninstall": "Удалить %s", "progress": "Удаление...", "done": "%s удалён"},
}


class _Started:
    """A process that the setup started (so not the test's child), seen through the driver's process list."""

    returncode = None

    def __init__(self, case, name):
        self.case, self.name = case, name.lower()

    def poll(self):
        names = [line[2].lower() for line in self.case.driver("processes") if len(line) > 2]
        return None if self.name in names else 0

    def wait(self, timeout):
        end = time.monotonic() + timeout
        while self.poll() is None:
            if time.monotonic() > end:
                raise subprocess.TimeoutExpired(self.name, timeout)
            time.sleep(0.2)
        return 0

    def kill(self):
        self.case.session.kill_programs({self.name})


class Uninstall(zrx_e2e.ZrxTestCase):
    def uninstaller(self, lang="en_GB"):
        return self.launch("-uninstallnow", lang=lang)

    def assert_first_page(self, setup, main, beta, lang="en_GB"):
        # Texts are compared here, not handed to the driver: its command line holds ASCII only.
        t = TEXTS[lang]
        self.assertEqual(setup.wait_control("btnNext", enabled=True).text, t["exit"])
        self.assertEqual(setup.wait_control("lbTitle").text, t["title"])
        button = setup.wait_control("btnUninstall", enabled=main)
        self.assertEqual((button.x, button.y, button.w, button.h), (234, 156, 151, 55))
        self.assertEqual(button.text, t["uninstall"] % "Zorvex")
        visible = {c.name for c in setup.controls()}
        self.assertNotIn("appLogo", visible)
        if beta:
            button = setup.wait_control("btnUninstallBeta", enabled=True)
            self.assertEqual((button.x, button.y, button.w, button.h), (234, 219, 151, 42))
            self.assertEqual(button.text, t["uninstall"] % "Zorvex BETA")
        else:
            self.assertNotIn("btnUninstallBeta", visible)
            self.assertIsNone(setup.control("btnUninstallBeta"))

    def remove(self, setup, button, shots=None, lang="en_GB"):
        """Clicks button, follows the progress page to the done page; returns the seconds in between."""
        t = TEXTS[lang]
        started = time.monotonic()
        setup.click(button)
        bar = setup.wait_control("PB")
        self.assertEqual(bar.value, "marquee")
        self.assertEqual((bar.x, bar.y, bar.w), (46, 260, 518))
        text = setup.wait_control("lbText4")
        self.assertEqual(text.text, t["progress"])
        self.assertEqual(text.y + text.h, 258)
        self.assertFalse(setup.control("btnNext").visible)
        if shots:
            setup.screenshot(shots + "-progress")
        done = setup.wait_control("lbSadText", timeout=60)
        took = time.monotonic() - started
        self.assertEqual(done.text, t["done"] % "Zorvex")
        self.assertEqual(setup.wait_control("lbSad", text=":(").x, 46)
        self.assertEqual(setup.wait_control("btnNext").text, t["exit"])
        if shots:
            setup.screenshot(shots + "-done")
        return took

    def test_the_installed_uninstaller_hands_over_to_a_copy_that_removes_the_beta_stream(self):
        layout.lay_out(self, beta=False)
        beta = layout.lay_out(self, beta=True, uninstaller=self.setup_exe)
        # As the Start-menu link starts it: from the install folder that is about to go.
        first = self.launch("-uninstall", exe=os.path.join(beta["install"], "uninstall.exe"), wait=False)
        self.assertEqual(first.wait_exit(), 0)
        copy_path = self.path("temp", COPY)
        self.assertTrue(filecmp.cmp(copy_path, self.setup_exe, shallow=False))

        copy = zrx_e2e.Setup(self, _Started(self, COPY), COPY).wait_window()
        self.assertEqual(self.driver("window", "--pid", copy.pid)[0][4],
                         TEXTS["en_GB"]["caption"] % "Zorvex")
        self.assert_first_page(copy, main=True, beta=True)

        took = self.remove(copy, "btnUninstallBeta", shots="uninstall-beta-en_GB")
        self.assertGreaterEqual(took, 2.5)  # a pause after each of the five steps
        self.assertEqual(layout.parts(self, beta=True), layout.NONE)
        self.assertEqual(layout.parts(self, beta=False), layout.ALL)
        main = layout.paths(self, beta=False)
        self.assertTrue(os.path.isfile(os.path.join(main["install"], "data", "licence.txt")))
        self.assertTrue(all(os.path.isfile(link) for link in main["group_links"]))
        self.assertTrue(os.path.isdir(self.path("localappdata", "Talvenor", "Apps")))
        self.assertTrue(os.path.isdir(self.path("appdata", "Talvenor")))

        copy.click("btnNext")
        copy.process.wait(30)
        # The copy stays behind in the temporary folder.
        self.assertTrue(os.path.isfile(copy_path))

    def offers(self, main, beta, shot):
        """With the streams laid out as given, the first page offers them, and Exit removes nothing."""
        for stream, present in ((False, main), (True, beta)):
            if present:
                layout.lay_out(self, beta=stream)
        before = {stream: layout.parts(self, stream) for stream in (False, True)}
        setup = self.uninstaller()
        self.assert_first_page(setup, main, beta)
        setup.screenshot("uninstall-first-%s-en_GB" % shot)
        setup.click("btnNext")
        self.assertEqual(setup.wait_exit(), 0)
        self.assertEqual({stream: layout.parts(self, stream) for stream in (False, True)}, before)

    def test_only_the_beta_stream_installed(self):
        self.offers(main=False, beta=True, shot="beta")

    def test_only_the_main_stream_installed(self):
        self.offers(main=True, beta=False, shot="main")

    def test_nothing_installed(self):
        self.offers(main=False, beta=False, shot="none")

    def test_closing_the_window_on_the_first_page_removes_nothing(self):
        layout.lay_out(self, beta=False)
        layout.lay_out(self, beta=True)
        setup = self.uninstaller()
        setup.wait_control("btnUninstallBeta")
        setup.close()
        self.assertEqual(setup.wait_exit(), 0)
        self.assertEqual(layout.parts(self, beta=False), layout.ALL)
        self.assertEqual(layout.parts(self, beta=True), layout.ALL)

    def test_closing_the_window_during_the_removal_still_completes_it(self):
        layout.lay_out(self, beta=False)
        layout.lay_out(self, beta=True)
        setup = self.uninstaller()
        setup.click("btnUninstall")
        setup.wait_control("PB")
        setup.close()
        self.assertEqual(setup.wait_exit(), 0)
        self.assertEqual(layout.parts(self, beta=False), layout.NONE)
        self.assertEqual(layout.parts(self, beta=True), layout.ALL)

    def test_a_removal_with_nothing_present_still_ends_on_the_done_page(self):
        install = layout.paths(self, beta=False)["install"]
        os.makedirs(install)
        setup = self.uninstaller()
        setup.wait_control("btnUninstall", enabled=True)
        # The folder goes before the user chooses: nothing is left to remove.
        os.rmdir(install)
        self.assertGreaterEqual(self.remove(setup, "btnUninstall"), 2.5)
        self.assertEqual(layout.parts(self, beta=False), layout.NONE)
        # The key is opened with creation, so it is there afterwards.
        self.assertTrue(layout.key_exists(self))
        setup.click("btnNext")
        self.assertEqual(setup.wait_exit(), 0)

    def test_the_uninstaller_speaks_russian_on_a_russian_system(self):
        layout.lay_out(self, beta=False)
        layout.lay_out(self, beta=True)
        setup = self.uninstaller(lang="ru_RU")
        t = TEXTS["ru_RU"]
        self.assertEqual(self.driver("window", "--pid", setup.pid)[0][4], t["caption"] % "Zorvex")
        self.assert_first_page(setup, main=True, beta=True, lang="ru_RU")
        setup.screenshot("uninstall-first-both-ru_RU")
        self.remove(setup, "btnUninstall", shots="uninstall-main-ru_RU", lang="ru_RU")
        self.assertEqual(layout.parts(self, beta=False), layout.NONE)
        self.assertEqual(layout.parts(self, beta=True), layout.ALL)
        setup.click("btnNext")
        self.assertEqual(setup.wait_exit(), 0)


if __name__ == "__main__":
    import unittest
    unittest.main()
