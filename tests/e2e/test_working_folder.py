"""The setup's working folder in the temporary folder: one that cannot be written is reported in the window's
language, naming the folder, and the run ends in order; a temporary folder that fills up during the package
ends the installation on the cancelled page with the step log naming the download. The uninstaller's copy
into a temporary folder that takes no file is reported too.

The read-only and the full temporary folder are real file systems mounted over the prefix's temporary folder
(a tmpfs mounted read-only, or one too small for the package): Wine run as root writes into a folder whatever
its permissions say. Where mounting is impossible those cases are skipped; a file standing where the working
folder belongs needs no mount."""
import os
import subprocess
import unittest

import zrx_e2e

CANCELLED = "Zorvex installation has been cancelled."
MESSAGES = {
    "en_GB": ("Zorvex instalation", "The setup cannot write into its working folder \"%s\"."),
    "ru_RU": ("Установка Zorvex", "Программа установки не может записать файлы в свою рабочую папку «%s»."),
}


class WorkingFolder(zrx_e2e.ZrxTestCase):
    def setUp(self):
        super().setUp()
        self.directx_present()

    def mount_temp(self, options):
        """A tmpfs with these mount options over the prefix's temporary folder, until the test ends."""
        temp = self.path("temp")
        r = subprocess.run(["mount", "-t", "tmpfs", "-o", options, "zrx-e2e-temp", temp], capture_output=True)
        if r.returncode != 0:
            self.skipTest("cannot mount a file system over the temporary folder: %s" % r.stderr.decode().strip())
        self.addCleanup(lambda: subprocess.run(["umount", temp], capture_output=True).returncode == 0 or
                        subprocess.run(["umount", "-l", temp], capture_output=True))

    def refused(self, what, lang="en_GB"):
        """The setup reports its working folder and ends, having asked no server anything."""
        setup = self.launch(lang=lang)
        caption, text, box = setup.dialog()
        # Behind the message, the cancelled page.
        if lang == "en_GB":
            setup.wait_control("lbText5", text=CANCELLED)
        self.session.screenshot(box, "working-folder-%s-%s" % (what.replace(" ", "-"), lang))
        self.assertEqual(setup.answer("ok"), (caption, text))
        self.assertEqual(setup.wait_exit(), 0, what)
        want_caption, want_text = MESSAGES[lang]
        self.assertEqual(caption, want_caption, what)
        self.assertIn(want_text % self.win_path(self.working_folder()), text, what)
        self.assertEqual(self.server.requested("system.xml"), [], what)
        return text

    def test_a_working_folder_that_cannot_be_written_is_reported_and_the_run_ends(self):
        self.start_server()
        # A file where the working folder belongs: the folder cannot be made. The file stays as it was.
        blocker = self.working_folder()
        for lang in ("en_GB", "ru_RU"):
            with open(blocker, "wb") as f:
                f.write(b"not a folder")
            self.refused("a file in its place", lang)
            with open(blocker, "rb") as f:
                self.assertEqual(f.read(), b"not a folder")
            os.remove(blocker)

        # A temporary folder on a read-only file system.
        self.mount_temp("ro,size=1m")
        self.refused("read-only")
        self.assertEqual(os.listdir(self.path("temp")), [])

    def test_a_temporary_folder_that_fills_up_during_the_package_ends_on_the_cancelled_page(self):
        # Room for the small files, not for the package.
        self.mount_temp("size=512k,mode=1777")
        self.start_server(package_mb=2)
        setup = self.launch()
        setup.install_with_defaults()
        setup.wait_control("lbText5", text=CANCELLED, timeout=120)
        setup.screenshot("working-folder-full")
        with open(self.path("temp", "zrxsetup.log"), encoding="ascii") as f:
            self.assertEqual(f.read().splitlines(), ["Download zrxsetup.zip"])
        # No part of the package stays behind.
        self.assertFalse(os.path.exists(os.path.join(self.working_folder(), "zrxsetup.zip")))
        self.assertFalse(os.path.exists(self.path("localappdata", "Talvenor", "Apps", "Zorvex")))
        setup.click("btnNext")
        self.assertEqual(setup.wait_exit(), 0)
        self.assertFalse(os.path.exists(self.working_folder()))

    def test_an_uninstaller_that_cannot_be_copied_into_a_read_only_temporary_folder_is_reported(self):
        # The uninstaller runs from a copy in the temporary folder; one that takes no file is said, not crashed on.
        self.mount_temp("ro,size=1m")
        setup = self.launch("-uninstall", wait=False)
        line = self.session.driver_lines(["answer", "ok", "--exe", "ZorvexSetup.exe"], timeout=60)[0]
        self.assertEqual(line[0], "Uninstalling Zorvex (including Quellpack)")
        self.assertIn(MESSAGES["en_GB"][1] % self.win_path(self.path("temp")), line[1])
        self.assertEqual(setup.wait_exit(), 0)


if __name__ == "__main__":
    unittest.main()
