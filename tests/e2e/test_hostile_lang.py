"""A hostile downloaded language file: it may change texts, but never make the window unclosable or the setup
fail. A file that leaves texts out counts as missing; the form keeps its place, frame and state; a text used
as a format or in a box that cannot be applied gives way to the built-in one; placeholders and counts cost
time linear in the file. With every file the window closes at every page and the setup ends in order."""
import os
import re
import shutil
import time

import zrx_e2e

BUILT_IN = open(os.path.join(zrx_e2e.SOURCE, "resources", "Lang_en_GB.xml"), encoding="utf-8-sig").read()
LICENCE_LABEL = "To continue you must accept the terms of this agreement."
SIZE_QUESTION = "Download size: 1.2 Mb\nDo you want to continue?"
SUCCESS = "Installation of Zorvex has been completed successfully."


def lang_file(item=None, value=None, window_attrs="", counts=None):
    """The built-in English file with line `item` of InstallStrings set to `value`, attributes added to the
    window's element and the lists' counts replaced ({"41": "-1"})."""
    text = BUILT_IN
    if item is not None:
        text = re.sub(r"<Item Index='%d' Value=(['\"]).*?\1/>" % item,
                      lambda m: "<Item Index='%d' Value='%s'/>" % (item, value), text, count=1)
    text = text.replace("<MainWindow ", "<MainWindow %s " % window_attrs, 1)
    for old, new in (counts or {}).items():
        text = text.replace("SetCount='%s'" % old, "SetCount='%s'" % new)
    return "\ufeff" + text


# Every hostile file, by name, with what it did before where that was seen.
HOSTILE = {
    # "Application Error" (list index out of bounds), then the setup did not end when closed.
    "count -1": lambda: lang_file(counts={"41": "-1"}),
    "count 5": lambda: lang_file(counts={"41": "5", "10": "2"}),
    # 30,000 elements that each set a list's count (1 MB), each rebuilding every line: about 100 s before.
    "count 65535 repeated": lambda: lang_file().replace(
        "<InstallStrings SetCount='41'>", "<InstallStrings SetCount='65535'/>" * 30000 + "<InstallStrings SetCount='41'>",
        1),
    "count 1024 repeated": lambda: lang_file().replace(
        "<InstallStrings SetCount='41'>", "<InstallStrings SetCount='1024'/>" * 30000 + "<InstallStrings SetCount='41'>",
        1),
    # Close box, Alt+F4 and Escape did nothing.
    "invisible": lambda: lang_file(window_attrs="Visible='False'"),
    "disabled": lambda: lang_file(window_attrs="Enabled='0'"),
    "frameless": lambda: lang_file(window_attrs="BorderStyle='bsNone' BorderIcons='[]' Left='-32000' Top='-32000' "
                                                "ClientWidth='1' ClientHeight='1' Width='1' Height='1'"),
    # 200 times a width of a million characters: Next hung with 834 MB, and closing did not end it.
    "size question widths": lambda: lang_file(11, "%0:1048576S" * 200),
    "size question arguments": lambda: lang_file(11, "%S and %S"),
    "size question length": lambda: lang_file(10, "$AppName$" * 100000),
    # Every download with progress failed, and the setup vanished without a word.
    "progress %s %s": lambda: lang_file(13, "%s %s"),
    # 3.9 MB of placeholders in the licence page's text, just under the cap on small downloads, so that it
    # reaches the replacement: a replacement that copies the rest of the text for each placeholder misses
    # the page's timeout. (7 MB of them took 117 s until the page showed, before the cap.)
    "440,000 placeholders": lambda: lang_file(4, "$AppName$" * 440000),
}

# The licence label of the files that must reach the window whole.
WHOLE_LABEL = {"440,000 placeholders": "Zorvex" * 440000}

# The setup refuses a language file above 4 MiB as a download: a case above it would test the cap alone.
SMALL_FILE_CAP = 4 << 20


class HostileLanguageFile(zrx_e2e.ZrxTestCase):
    def setUp(self):
        super().setUp()
        self.directx_present()

    def fresh_run(self):
        """A fresh state for one more run within the same test."""
        for setup in self._setups:
            setup.kill()
        self._setups.clear()
        if self.server:
            self.server.stop()
            self.server = None
        shutil.rmtree(os.path.join(self.run_dir, "server-root"), ignore_errors=True)
        self._fresh_state()

    def test_every_hostile_file_leaves_a_working_window_that_closes_at_every_page(self):
        # The pages after the file applies: the licence page, the choice page with its size question open
        # (closed there, the answer no longer counts), and the final page after an installation.
        for case, make in HOSTILE.items():
            for page in ("licence", "question", "final"):
                with self.subTest(case=case, page=page):
                    self.fresh_run()
                    self.run_to(make(), case, page)

    def run_to(self, lang_xml, case, page):
        self.assertLess(len(lang_xml.encode("utf-8")), SMALL_FILE_CAP, case)
        server = self.start_server(size="1.2")  # the size the questions show
        for base in ("main", "mirror"):
            server.put(base, "Lang_en_GB.xml", lang_xml.encode("utf-8"))
        started = time.monotonic()
        setup = self.launch()
        setup.wait_control("Lang_en_GB", checked=1)
        setup.click("btnNext")
        setup.wait_control("cbAcceptEULA", timeout=60)
        seconds = time.monotonic() - started
        # The form keeps its state, frame and place; texts apply, the built-in ones where a file's fail.
        window = setup.window()
        self.assertTrue(window.visible and window.enabled and window.closable, window)
        self.assertGreaterEqual((window.x, window.y, window.w, window.h), (0, 0, 610, 472))
        label = setup.control("lbText2")
        self.assertEqual((label.x, label.y, label.w), (46, 88, 518))
        self.assertTrue(label.text.startswith(("ZorvexZorvex", LICENCE_LABEL)), label.text[:80])
        if case in WHOLE_LABEL:
            self.assertEqual(label.text, WHOLE_LABEL[case], label.text[:80])
        if page != "licence":
            setup.click("cbAcceptEULA")
            setup.click("btnNext")
            self.assertIn("Install the Zorvex", setup.wait_control("rbInstall", checked=1).text)
            setup.click("btnNext")
            if page == "question":
                setup.dialog()
                setup.close()
            caption, text = setup.answer("yes")
            self.assertEqual((caption, text.replace("\r\n", "\n")),
                             ("Zorvex instalation - Confirm downloading", SIZE_QUESTION))
        if page == "final":
            setup.wait_control("lbText5", text=SUCCESS, timeout=120)
        if page != "question":
            setup.close()
        self.assertEqual(setup.wait_exit(), 0)
        print("%s, closed at the %s page: licence page after %.1f s, peak %.0f MB"
              % (case, page, seconds, setup.peak_mb))
        self.assertFalse(os.path.exists(self.working_folder()))
        installed = os.path.exists(self.path("localappdata", "Talvenor", "Apps", "Zorvex", "Zorvex.exe"))
        self.assertEqual(installed, page == "final")


if __name__ == "__main__":
    import unittest
    unittest.main()
