"""Hostile licence terms from the server: the setup reaches the licence page with each, shows what text there
is, and ends within seconds when its window is closed there. The peak memory of each case is printed."""
import sys

import zrx_e2e


def utf16_be(text):
    return b"\xFE\xFF" + text.encode("utf-16-be")


CASES = [
    ("1 MB of NUL", b"\0" * (1 << 20) + b"end", "end"),
    ("100,000 NUL", b"\0" * 100000 + b"end", "end"),
    ("0.5 MB of unclosed <h1>", b"<h1>" * (1 << 17) + b"end", "end"),
    ("1,000 unclosed <h1>", b"<h1>x" * 1000, "x\rx"),
    ("60 sections with unclosed <h2>", b"<h2>Section<p>Body of the section." * 60, "section.\rSection"),
    ("100,000 unclosed <b>", b"<b>bold " * 100000, "bold bold"),
    ("1 MB of &", b"&" * (1 << 20), "&&&"),
    ("250,000 times '& '", b"& " * 250000, "& & &"),
    ("one word of 500,000 letters", b"w" * 500000, "www"),
    ("UTF-16 big-endian", utf16_be("Licence terms \u0416"), "Licence terms \u0416"),
    ("nesting of every kind", b"<b><i><u><em><h3><div><ul><li>y" * 20000, "y"),
]


class HostileLicence(zrx_e2e.ZrxTestCase):
    def test_every_hostile_licence_reaches_the_page_and_closes(self):
        server = self.start_server()
        for number, (name, data, shown) in enumerate(CASES):
            with self.subTest(name):
                server.put("main", "EULA_en_GB", data)
                setup = self.launch()
                try:
                    setup.wait_control("Lang_en_GB", checked=1)
                    setup.click("btnNext")
                    setup.wait_control("cbAcceptEULA", timeout=120)
                    setup.screenshot("hostile-licence-%d" % number)
                    text = [c.text for c in setup.controls() if c.cls == "TWebBrowser"]
                    setup.close()
                    self.assertEqual(setup.wait_exit(timeout=20), 0)
                finally:
                    if setup.alive():
                        setup.kill()
                print("%-32s %8d bytes: peak %d MB" % (name, len(data), setup.peak_mb), file=sys.stderr)
                self.assertEqual(len(text), 1)
                self.assertIn(shown, text[0].replace("\r\n", "\r").replace("\r\r", "\r"))
