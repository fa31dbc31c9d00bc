"""Hostile packages on the real setup: archives the ZIP component cannot read whole, a Core.xml that cannot be
read, files that cannot be put in place, read-only entries and entry names in UTF-8. Each that cannot be
installed ends on the cancelled page with nothing reported as done, the window closes at any time (while the
worker runs, on the final page), and a sound package then installs over what it left. Every run prints its
peak memory."""
import io
import os
import struct
import time
import zipfile

import test_install
import zrx_e2e
from test_install import KEY, MAIN

CANCELLED = "Zorvex installation has been cancelled."


def zip_of(entries):
    """entries: (name, data) or (ZipInfo, data) pairs, stored."""
    out = io.BytesIO()
    with zipfile.ZipFile(out, "w", zipfile.ZIP_STORED) as z:
        for name, data in entries:
            z.writestr(name if isinstance(name, zipfile.ZipInfo) else zipfile.ZipInfo(name, (2024, 5, 1, 12, 0, 0)),
                       data)
    return out.getvalue()


def end_record(data):
    """Offset and fields of the plain end record."""
    at = data.rindex(b"PK\x05\x06")
    return at, list(struct.unpack("<IHHHHIIH", data[at:at + 22]))


def with_end_record(data, **changes):
    at, fields = end_record(data)
    names = ["sig", "disk", "start_disk", "count_disk", "count", "size", "offset", "comment"]
    for name, value in changes.items():
        fields[names.index(name)] = value
    return data[:at] + struct.pack("<IHHHHIIH", *fields) + data[at + 22:]


class HostilePackages(test_install.InstallCase):
    def setUp(self):
        super().setUp()
        self.start_server()
        self.sound = self.package()

    def package(self, **kw):
        return zrx_e2e.make_sample.package(self.standin_exe, **kw)

    def serve(self, data):
        for base in ("main", "mirror"):
            self.server.put(base, "zrxsetup.zip", data)

    def log_tail(self):
        try:
            with open(self.path("temp", "zrxsetup.log"), "rb") as f:
                return f.read().decode("ascii").split("\r\n")
        except OSError:
            return []

    def files_of(self, folder):
        """Every file below folder with its size and time of change."""
        found = {}
        for top, _, names in os.walk(folder):
            for name in names:
                st = os.stat(os.path.join(top, name))
                found[os.path.join(top, name)] = (st.st_size, st.st_mtime_ns)
        return found

    def closed_while_installing(self, label):
        log = self.path("temp", "zrxsetup.log")
        if os.path.exists(log):
            os.remove(log)
        setup = self.walk(MAIN)
        deadline = time.monotonic() + 120
        while "Unzip" not in self.log_tail() and time.monotonic() < deadline:
            time.sleep(0.05)
        setup.close()
        self.assertEqual(setup.wait_exit(), 0, label)
        print("%s, closed while installing: peak %.1f MB" % (label, setup.peak_mb))
        left = [p for p in self.driver("processes") if p[-1].lower() == "zorvexsetup.exe"]
        self.assertEqual(left, [], label)

    def refused(self, label, data, step, unpacked=True):
        """The package ends on the cancelled page at step, closed there; then the sound package installs."""
        self.serve(data)
        key, group = self.reg_query(KEY, "key"), os.path.exists(self.path("programs", MAIN.group))
        files = self.files_of(self.install_dir(MAIN))
        self.closed_while_installing(label)
        setup = self.walk(MAIN, desktop=True)
        setup.wait_control("lbText5", text=CANCELLED, timeout=180)
        setup.screenshot("hostile-" + label)
        setup.close()
        self.assertEqual(setup.wait_exit(), 0, label)
        print("%s, cancelled page: peak %.1f MB" % (label, setup.peak_mb))
        self.assertEqual(self.log_lines()[-1], step, label)
        # Nothing reported as done: no new install key, no Start-menu group or desktop link made.
        self.assertEqual(self.reg_query(KEY, "key"), key, label)
        self.assertEqual(os.path.exists(self.path("programs", MAIN.group)), group, label)
        self.assertFalse(os.path.exists(self.path("desktop", MAIN.desktop)), label)
        if not unpacked:
            self.assertEqual(self.files_of(self.install_dir(MAIN)), files, label)
        self.assertEqual(self.tool_runs(), [])

        self.serve(self.sound)
        self.install(MAIN, run_after=False)
        self.check_installation(MAIN, desktop=False)

    # -- archives the component cannot read whole -----------------------------------------------------------
    def test_an_archive_read_in_part_is_refused_before_anything_is_written(self):
        # 100,000 tiny entries: the plain end record counts 0xFFFF, the ZIP64 records the rest.
        many = zip_of([("f/%06d.txt" % i, b"x") for i in range(100000)])
        self.assertIn(b"PK\x06\x06", many[-200:])
        self.refused("zip64", many, "Unzip", unpacked=False)
        # An end record that counts one entry fewer than its directory holds.
        at, fields = end_record(self.sound)
        self.refused("count", with_end_record(self.sound, count_disk=fields[3] - 1, count=fields[4] - 1),
                     "Unzip", unpacked=False)
        # A directory offset that points at the local data.
        self.refused("offset", with_end_record(self.sound, offset=0), "Unzip", unpacked=False)

    # -- files that cannot be put in place ----------------------------------------------------------------
    def test_files_that_cannot_be_put_in_place(self):
        # A file where a later entry needs a folder.
        self.refused("file-for-folder", self.package(extra=[("data", b"a file"), ("data/x.txt", b"x")]), "Unzip")

    def test_a_read_only_entry_where_the_installation_writes_is_replaced(self):
        info = zipfile.ZipInfo("uninstall.exe", (2024, 5, 1, 12, 0, 0))
        info.create_system = 0
        info.external_attr = 0x21  # read-only, archive
        core = zipfile.ZipInfo("Core.xml", (2024, 5, 1, 12, 0, 0))
        core.create_system = 0
        core.external_attr = 0x21
        with open(self.standin_exe, "rb") as f:
            tool = f.read()
        bad = zip_of([("Zorvex.exe", tool), (info, b"read-only"), (core, zrx_e2e.make_sample.CORE_XML.encode())])
        self.serve(bad)
        self.closed_while_installing("read-only")
        self.install(MAIN, run_after=False)
        self.serve(self.sound)
        self.install(MAIN, run_after=False)
        self.check_installation(MAIN, desktop=False)

    # -- Core.xml ------------------------------------------------------------------------------------------
    def test_a_core_xml_that_cannot_be_read(self):
        utf7 = zrx_e2e.make_sample.CORE_XML.replace('encoding="UTF-8"', 'encoding="UTF-7"')
        self.refused("core-utf7", self.package(core_xml=utf7), "Make Core XML")
        # Beyond any real one: refused unread. One just below the limit is installed.
        plugins = '    <plugin name="P%06d" enabled="True"/>\n'
        huge = zrx_e2e.make_sample.CORE_XML.replace("  </plugins>", "".join(plugins % i for i in range(120000)) +
                                                    "  </plugins>")
        self.assertGreater(len(huge), 5 << 20)
        self.refused("core-huge", self.package(core_xml=huge), "Make Core XML")
        big = zrx_e2e.make_sample.CORE_XML.replace("  </plugins>", "".join(plugins % i for i in range(90000)) +
                                                   "  </plugins>")
        self.assertLess(len(big), 4 << 20)
        self.serve(self.package(core_xml=big))
        setup = self.walk(MAIN)
        self.finish(setup, MAIN)
        print("core-big (%.1f MB), installed: peak %.1f MB" % (len(big) / 1048576.0, setup.peak_mb))
        with open(self.install_dir(MAIN, "Core.xml"), "rb") as f:
            self.assertIn(b'name="P089999"', f.read())

    def test_an_empty_core_xml_counts_as_absent(self):
        # Only the header and a comment: the installation writes the document of a package without one.
        empty = '<?xml version="1.0" encoding="UTF-8"?>\r\n<!-- filled at the first start -->'
        self.serve(self.package(core_xml=empty))
        self.finish(self.walk(MAIN, run_after=False), MAIN, shot="hostile-core-empty")
        self.assertEqual(self.log_lines()[-1], "Done")
        self.assertIsNotNone(self.reg_query(KEY, "key"))
        with open(self.install_dir(MAIN, "Core.xml"), "rb") as f:
            self.assertEqual(f.read(), test_install.BOM_HEADER + b"  <number>4711</number>\r\n")

    # -- entry names -----------------------------------------------------------------------------------------
    def test_entry_names_in_utf8_are_installed_as_named(self):
        # Python's zipfile sets flag bit 11 on names that are not ASCII.
        named = self.package(extra=[("заметка.txt", "заметка".encode()), ("папка/файл.txt", b"file")])
        self.serve(named)
        # On a Russian system: Wine here makes file names beyond Latin-1 only under an installed locale. Its
        # code page holds these names, yet they must be read as the UTF-8 they are.
        setup = self.launch(lang="ru_RU")
        setup.click("Lang_en_GB", timeout=60)
        setup.click("btnNext")
        setup.click("cbAcceptEULA", timeout=60)
        setup.click("btnNext")
        setup.wait_control("rbInstall", checked=1, timeout=60)
        setup.click("btnNext")
        setup.answer("yes")
        setup.wait_control("lbText5", text="Installation of Zorvex has been completed successfully.", timeout=120)
        setup.close()
        self.assertEqual(setup.wait_exit(), 0)
        print("utf8 names: peak %.1f MB" % setup.peak_mb)
        self.check_installation(MAIN, desktop=False)
        self.assertEqual(sorted(n for n in os.listdir(self.install_dir(MAIN)) if not n.isascii()),
                         ["заметка.txt", "папка"])
