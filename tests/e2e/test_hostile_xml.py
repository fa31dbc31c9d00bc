"""Small XML files from a broken or hostile server: the language list and the manifest. One that cannot be
read or parsed counts as one that did not arrive; the window can be closed at every page; each case prints
the setup's peak memory."""
import os
import random
import subprocess
import time

import zrx_e2e
from zrx_e2e import make_sample

MISSING = "Setup files are corrupt or missing"

# Language lists that cannot be read, and lists that offer no language: each counts as a missing one.
BROKEN_LISTS = {
    "not well-formed": make_sample.langs_xml().replace(b"</langs>", b"</lang>"),
    "binary bytes": random.Random(18).randbytes(8192),
    "unknown encoding": make_sample.langs_xml().replace(b"UTF-8", b"x-unheard-of"),
    "encoding the system cannot decode": make_sample.langs_xml().replace(b"UTF-8", b"UTF-7"),
    "no language": b'<?xml version="1.0"?><langs><lang id="../x">2057</lang><Lang id="en_GB">2057</Lang></langs>',
    "empty": b"",
}

# Manifests that cannot be read.
BROKEN_MANIFESTS = {
    "not well-formed": make_sample.system_xml().replace(b"</setup>", b"</setu>"),
    "binary bytes": random.Random(180).randbytes(8192),
    "unknown encoding": make_sample.system_xml().replace(b"UTF-8", b"x-unheard-of"),
}


class HostileXml(zrx_e2e.ZrxTestCase):
    def setUp(self):
        super().setUp()
        self.directx_present()

    def report(self, setup, what):
        print("%s: peak %.1f MB" % (what, setup.peak_mb), flush=True)

    def close(self, setup, what):
        setup.close()
        self.assertEqual(setup.wait_exit(), 0, what)
        self.report(setup, what)

    def reach(self, setup, page, language_page=True):
        """Walks through the pages up to page: "language", "licence" or "choice"."""
        if language_page:
            setup.wait_control("Lang_en_GB", checked=1)
            if page == "language":
                return
            setup.click("btnNext")
        setup.wait_control("cbAcceptEULA", timeout=60)
        if page == "choice":
            setup.click("cbAcceptEULA")
            setup.click("btnNext")
            setup.wait_control("rbInstall", checked=1)

    def test_a_language_list_that_cannot_be_read_counts_as_missing(self):
        server = self.start_server()
        for what, data in BROKEN_LISTS.items():
            server.put("main", "Langs.xml", data)
            for page in ("licence", "choice"):
                with self.subTest(what, page=page):
                    fetched = len(server.requested("Lang_en_GB.xml"))
                    setup = self.launch()
                    # No language page: the window's own language file is fetched and the licence comes next.
                    self.reach(setup, page, language_page=False)
                    self.assertIsNone(setup.control("lbBox"))
                    self.assertEqual(len(server.requested("Lang_en_GB.xml")), fetched + 1)
                    self.close(setup, "language list, %s, closed on the %s page" % (what, page))

    def test_a_long_language_list_of_repeated_ids_costs_what_its_size_allows(self):
        server = self.start_server()
        langs = [("en_GB", 2057), ("ru_RU", 1049)] + [("l%d" % i, 1033) for i in range(253)]
        head = make_sample.langs_xml(langs).replace(b"</langs>\r\n", b"")
        data = head + b'<lang id="EN_gb">1033</lang>' * 60000 + b"</langs>"
        server.put("main", "Langs.xml", data)
        # Its 255 languages, each once; the page comes as soon as for a short list.
        started = time.monotonic()
        setup = self.launch()
        setup.wait_control("Lang_en_GB", checked=1)
        print("language page of the long list after %.1f s" % (time.monotonic() - started), flush=True)
        radios = [c for c in setup.controls(all=True) if c.name.startswith("Lang_")]
        self.assertEqual(len(radios), 255)
        self.reach(setup, "licence")
        self.close(setup, "language list of %.1f MB, 255 languages and repeated ids" % (len(data) / 1e6))

    def test_a_manifest_of_many_tiny_elements_is_read(self):
        # Well-formed, however dense: its size announced on the choice page's question.
        server = self.start_server()
        dense = b"<setup><version>10</version><size>1.25</size>" + b"<a/>" * (1 << 19) + b"</setup>"
        server.put("main", "system.xml", dense)
        setup = self.launch()
        self.reach(setup, "choice")
        setup.click("btnNext")
        caption, text, _ = setup.dialog()
        self.assertIn("Confirm downloading", caption)
        self.assertIn("Download size: 1.25 Mb", text)
        setup.answer("no")
        self.close(setup, "manifest of %.1f MB of tiny elements, the download declined" % (len(dense) / 1e6))

    def test_a_manifest_that_cannot_be_read_counts_as_missing(self):
        server = self.start_server()
        for what, data in BROKEN_MANIFESTS.items():
            server.put("main", "system.xml", data)
            with self.subTest(what):
                setup = self.launch()
                self.reach(setup, "choice")
                # Next on the choice page: as for a missing manifest, an error, and the setup ends.
                setup.click("btnNext")
                caption, text = setup.answer("ok")
                self.assertIn(MISSING, text)
                self.assertEqual(setup.wait_exit(), 0)
                self.report(setup, "manifest, %s, Next on the choice page" % what)
                self.assertEqual(server.requested("zrxsetup.zip"), [])
            for page in ("language", "licence", "choice"):
                with self.subTest(what, page=page):
                    setup = self.launch()
                    self.reach(setup, page)
                    self.close(setup, "manifest, %s, closed on the %s page" % (what, page))

    def test_a_size_of_any_length_asks_a_question_that_fits_the_screen(self):
        # 100,000 digits of size: the question shows the first 32 of them, and its buttons on the screen.
        self.start_server(size="9" * 100000)
        setup = self.launch()
        self.reach(setup, "choice")
        setup.click("btnNext")
        caption, text, box = setup.dialog()
        self.session.screenshot(box, "size-question-long-size")
        info = subprocess.run(["xwininfo", "-id", str(box)], env=self.session.env, capture_output=True,
                              text=True, check=True).stdout
        field = {k.strip(): v.strip() for k, _, v in (l.partition(":") for l in info.splitlines()) if v}
        left, top = int(field["Absolute upper-left X"]), int(field["Absolute upper-left Y"])
        width, height = int(field["Width"]), int(field["Height"])
        # On the 1024 x 768 screen as a whole.
        self.assertGreaterEqual(min(left, top), 0, info)
        self.assertLessEqual(left + width, 1024, info)
        self.assertLessEqual(top + height, 768, info)
        self.assertIn("Download size: %s Mb" % ("9" * 32), text)
        self.assertNotIn("9" * 33, text)
        setup.answer("no")
        setup.wait_control("rbInstall", checked=1)
        self.close(setup, "size of 100,000 digits, the question answered No")
