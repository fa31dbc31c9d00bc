"""Small XML files from a broken or hostile server: the language list and the manifest. One that cannot be
read or parsed counts as one that did not arrive; the window can be closed at every page; each case prints
the setup's peak memory."""
import os
import random
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

# Manifests that cannot be read, down to one too costly for its size.
BROKEN_MANIFESTS = {
    "not well-formed": make_sample.system_xml().replace(b"</setup>", b"</setu>"),
    "binary bytes": random.Random(180).randbytes(8192),
    "unknown encoding": make_sample.system_xml().replace(b"UTF-8", b"x-unheard-of"),
    "2 MB of tiny elements": b"<setup><version>10</version><size>1.2</size>" + b"<a/>" * (1 << 19) + b"</setup>",
}


class HostileXml(zrx_e2e.ZrxTestCase):
    def setUp(self):
        super().setUp()
        # The DirectX question belongs to its own tests: here the library counts as present.
        dll = self.path("system", "d3dx9_33.dll")
        if not os.path.exists(dll):
            open(dll, "wb").close()

    def report(self, setup, what):
        print("%s: peak %.1f MB" % (what, setup.peak_mb), flush=True)

    def close(self, setup, what):
        setup.close()
        self.assertEqual(setup.wait_exit(), 0, what)
        self.report(setup, what)

    def pass_language_page(self, setup):
        setup.wait_control("Lang_en_GB", checked=1)
        setup.click("btnNext")

    def accept_licence(self, setup):
        setup.wait_control("cbAcceptEULA")
        setup.click("cbAcceptEULA")
        setup.click("btnNext")

    def test_a_language_list_that_cannot_be_read_counts_as_missing(self):
        server = self.start_server()
        for i, (what, data) in enumerate(BROKEN_LISTS.items()):
            with self.subTest(what):
                server.put("main", "Langs.xml", data)
                setup = self.launch()
                # No language page: the window's own language file is fetched and the licence comes next.
                setup.wait_control("cbAcceptEULA", timeout=60)
                self.assertIsNone(setup.control("lbBox"), what)
                self.assertTrue(server.requested("Lang_en_GB.xml"), what)
                # Closed on the licence page, or on the choice page that follows it.
                if i % 2:
                    self.accept_licence(setup)
                    setup.wait_control("rbInstall")
                self.close(setup, "language list, " + what)

    def test_a_long_language_list_of_repeated_ids_costs_what_its_size_allows(self):
        server = self.start_server()
        langs = [("en_GB", 2057), ("ru_RU", 1049)] + [("l%d" % i, 1033) for i in range(253)]
        head = make_sample.langs_xml(langs).replace(b"</langs>\r\n", b"")
        data = head + b'<lang id="EN_gb">1033</lang>' * 60000 + b"</langs>"
        server.put("main", "Langs.xml", data)
        setup = self.launch()
        self.pass_language_page(setup)
        setup.wait_control("cbAcceptEULA", timeout=60)
        self.close(setup, "language list of %.1f MB, 255 languages and repeated ids" % (len(data) / 1e6))

        # The same list shows its 255 languages, each once, and can be closed on its page.
        started = time.monotonic()
        setup = self.launch()
        setup.wait_control("Lang_en_GB", checked=1)
        print("language page of the long list after %.1f s" % (time.monotonic() - started), flush=True)
        radios = [c for c in setup.controls(all=True) if c.name.startswith("Lang_")]
        self.assertEqual(len(radios), 255)
        self.close(setup, "language page of the long list")

    def test_a_manifest_that_cannot_be_read_counts_as_missing(self):
        server = self.start_server()
        for what, data in BROKEN_MANIFESTS.items():
            with self.subTest(what):
                server.put("main", "system.xml", data)
                setup = self.launch()
                self.pass_language_page(setup)
                self.accept_licence(setup)
                # Next on the choice page: as for a missing manifest, an error, and the setup ends.
                setup.wait_control("rbInstall", checked=1)
                setup.click("btnNext")
                caption, text = setup.answer("ok")
                self.assertIn(MISSING, text, what)
                self.assertEqual(setup.wait_exit(), 0, what)
                self.report(setup, "manifest, " + what)
                self.assertEqual(server.requested("zrxsetup.zip"), [], what)

    def test_with_a_broken_manifest_the_window_closes_at_every_page(self):
        server = self.start_server()
        server.put("main", "system.xml", BROKEN_MANIFESTS["not well-formed"])
        setup = self.launch()
        setup.wait_control("Lang_en_GB", checked=1)
        self.close(setup, "broken manifest, language page")

        setup = self.launch()
        self.pass_language_page(setup)
        setup.wait_control("cbAcceptEULA")
        self.close(setup, "broken manifest, licence page")

        setup = self.launch()
        self.pass_language_page(setup)
        self.accept_licence(setup)
        setup.wait_control("rbInstall", checked=1)
        self.close(setup, "broken manifest, choice page")

