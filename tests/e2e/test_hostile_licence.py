"""Hostile licence terms from the server: the setup reaches the licence page with each, shows what text there
is, and ends within seconds when its window is closed there. The peak memory of each case is printed. Long
real terms are shown whole, and terms that the viewer cuts end with the address where they can be read."""
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


LAST_WORDS = "End of the licence terms and notices."


def realistic_terms(chars):
    """Licence terms of about chars characters: numbered sections of clauses, lists and all-caps disclaimers,
    then 6,000 third-party notices."""
    words = "licence software the user may not copy terms rights and of any use shall agreement party".split()
    html, text, n = ["<html><body><h1>Zorvex End-User Licence Agreement</h1>"], 0, 0

    def sentences(length, caps=False):
        nonlocal n
        out = []
        while sum(map(len, out)) < length:
            n += 1
            sentence = " ".join(words[(n * 7 + k * 3) % len(words)] for k in range(8 + n % 20)) + "."
            out.append(sentence.upper() if caps else sentence.capitalize())
        return " ".join(out)

    section = 0
    while text < chars - 6000 * 62:
        section += 1
        parts = ["%d.%d %s" % (section, clause, sentences(300 + 150 * clause)) for clause in range(1, 5)]
        items = [sentences(80) for _ in range(5)]
        caps = sentences(1400, caps=True)
        html.append("<h2>%d. Section</h2>" % section + "".join("<p>%s</p>\n" % p for p in parts) +
                    "<ul>" + "".join("<li>%s</li>\n" % i for i in items) + "</ul><p><b>%s</b></p>\n" % caps)
        text += sum(map(len, parts + items + [caps]))
    html.append("<h2>Third-party notices</h2><ol>")
    html += ["<li>component-%d 1.%d &mdash; Copyright &copy; 2024 its authors; MIT licence</li>\n" % (i, i % 9)
             for i in range(1, 6001)]
    html.append("</ol><p>%s</p></body></html>" % LAST_WORDS)
    return "".join(html).encode("utf-8")


class HostileLicence(zrx_e2e.ZrxTestCase):
    def licence_shown(self, server, data, name):
        """The text of the licence viewer (CR line ends) and the setup's peak memory in MB when the server sends
        data as the English terms."""
        server.put("main", "EULA_en_GB", data)
        setup = self.launch()
        try:
            setup.wait_control("Lang_en_GB", checked=1)
            setup.click("btnNext")
            setup.wait_control("cbAcceptEULA", timeout=120)
            setup.screenshot(name)
            text = [c.text for c in setup.controls() if c.cls == "TWebBrowser"]
            setup.close()
            self.assertEqual(setup.wait_exit(timeout=20), 0)
        finally:
            if setup.alive():
                setup.kill()
        self.assertEqual(len(text), 1)
        return text[0].replace("\r\n", "\r"), setup.peak_mb

    def test_long_terms_are_shown_whole_and_cut_ones_say_where_they_continue(self):
        server = self.start_server()
        terms = realistic_terms(512 << 10)
        text = self.licence_shown(server, terms, "licence-512k")[0].rstrip("\r")
        self.assertGreater(len(text), 512 << 10)
        self.assertTrue(text.endswith(LAST_WORDS), text[-300:])
        self.assertIn("component-6000 1.6", text)
        self.assertNotIn("continue beyond this point", text)

        # More lines than the viewer shows.
        text = self.licence_shown(server, b"<p>Terms</p>" + b"line<br>" * 40000, "licence-cut")[0].rstrip("\r")
        self.assertTrue(text.startswith("Terms\r"), text[:100])
        self.assertRegex(text, r"\rThe licence terms continue beyond this point and are not all shown here\. "
                               r"Read them whole at http://[^ ]+/zrx/setup/EULA_en_GB before you accept them\.$")

    def test_every_hostile_licence_reaches_the_page_and_closes(self):
        server = self.start_server()
        for number, (name, data, shown) in enumerate(CASES):
            with self.subTest(name):
                text, peak = self.licence_shown(server, data, "hostile-licence-%d" % number)
                print("%-32s %8d bytes: peak %d MB" % (name, len(data), peak), file=sys.stderr)
                self.assertIn(shown, text.replace("\r\r", "\r"))
