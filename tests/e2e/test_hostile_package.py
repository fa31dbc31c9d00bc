"""Hostile packages on the real setup: archives the ZIP component cannot read whole, a Core.xml that cannot be
read, files that cannot be put in place, read-only entries, entry names in UTF-8, packages without the tool or
larger than the drive, and a window closed in the middle of a large entry. Each that cannot be installed ends
on the cancelled page with nothing reported as done and, where nothing was installed before, nothing left; the
window closes at any time (while the worker runs, on the final page), and a sound package then installs over
what it left. Every run prints its peak memory."""
import io
import os
import shutil
import struct
import time
import zipfile
import zlib

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


def with_declared_sizes(data, names, size):
    """data with the uncompressed size of each named entry set to size, in its local and central record."""
    out = bytearray(data)
    with zipfile.ZipFile(io.BytesIO(data)) as z:
        for info in z.infolist():
            if info.filename in names:
                struct.pack_into("<I", out, info.header_offset + 22, size)
    at, fields = end_record(data)
    pos = fields[6]
    for _ in range(fields[4]):
        name_len, extra_len, comment_len = struct.unpack_from("<HHH", out, pos + 28)
        if out[pos + 46:pos + 46 + name_len].decode() in names:
            struct.pack_into("<I", out, pos + 24, size)
        pos += 46 + name_len + extra_len + comment_len
    return bytes(out)


def raw_zip(entries):
    """entries: (name, method, data as stored, crc, size) tuples, written as they are."""
    local, central = bytearray(), bytearray()
    for name, method, data, crc, size in entries:
        raw = name.encode()
        central += struct.pack("<IHHHHIIIIHHHHHII", 0x02014B50, 20, 20, 0, method, 0x58A16000, crc, len(data),
                               size, len(raw), 0, 0, 0, 0, 0x20, len(local)) + raw
        local += struct.pack("<IHHHIIIIHH", 0x04034B50, 20, 0, method, 0x58A16000, crc, len(data), size,
                             len(raw), 0) + raw + data
    return bytes(local + central + struct.pack("<IHHHHIIH", 0x06054B50, 0, 0, len(entries), len(entries),
                                               len(central), len(local), 0))


def deflated(data):
    c = zlib.compressobj(6, zlib.DEFLATED, -15)
    return c.compress(data) + c.flush()


def zeros_entry(name, size):
    """An entry of size zero bytes (a multiple of 16 MB), deflated: each block of 16 MB compresses alike after
    a full flush, so the data is one block repeated."""
    block = bytes(16 << 20)
    c = zlib.compressobj(9, zlib.DEFLATED, -15)
    once = c.compress(block) + c.flush(zlib.Z_FULL_FLUSH)
    crc = 0
    for _ in range(size // len(block)):
        crc = zlib.crc32(block, crc)
    return name, 8, once * (size // len(block)) + c.flush(), crc, size


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
        fresh = not os.path.exists(self.install_dir(MAIN))
        self.closed_while_installing(label)
        if fresh:
            self.assert_nothing_left(label)
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
        if fresh:
            self.assert_nothing_left(label)
        self.assertEqual(self.tool_runs(), [])

        self.serve(self.sound)
        self.install(MAIN, run_after=False)
        self.check_installation(MAIN, desktop=False)

    def assert_nothing_left(self, label):
        """Nothing of a first installation that failed: no folders (nor their parents), links or key, and the
        working folder gone with the package."""
        for path in (self.path("localappdata", "Talvenor"), self.path("appdata", "Talvenor"),
                     self.path("programs", MAIN.group), self.path("desktop", MAIN.desktop),
                     self.working_folder()):
            self.assertFalse(os.path.exists(path), "%s: %s" % (label, path))
        self.assertIsNone(self.reg_query(KEY, "key"), label)

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

    # -- packages that cannot be installed at all --------------------------------------------------------------
    def test_a_refused_first_installation_leaves_nothing_to_uninstall(self):
        with open(self.standin_exe, "rb") as f:
            tool = f.read()
        core = zrx_e2e.make_sample.CORE_XML.encode()
        # A method the component does not know, after entries already written.
        self.serve(raw_zip([("Zorvex.exe", 8, deflated(tool), zlib.crc32(tool), len(tool)),
                            ("Core.xml", 8, deflated(core), zlib.crc32(core), len(core)),
                            ("docs/readme.txt", 12, b"BZh9", 0, 4)]))
        self.finish(self.walk(MAIN, desktop=True), MAIN, success=False, shot="refused-first")
        self.assertEqual(self.log_lines()[-1], "Unzip")
        self.assert_nothing_left("unknown method")
        # The uninstaller finds nothing to remove.
        remover = self.launch("-uninstallnow")
        remover.wait_control("btnUninstall", enabled=False, timeout=60)
        remover.click("btnNext")
        self.assertEqual(remover.wait_exit(), 0)
        # An encrypted entry (flag bit 0): the same.
        encrypted = bytearray(self.sound)
        at = encrypted.rindex(b"PK\x01\x02")  # the last entry's central record
        encrypted[at + 8] |= 1
        self.refused("encrypted", bytes(encrypted), "Unzip")

    def test_a_package_without_the_tool_is_not_installed(self):
        without = self.package(extra=[("bin/Zorvex.exe", b"not where the links point")])
        with zipfile.ZipFile(io.BytesIO(without)) as z:
            entries = [(i, z.read(i)) for i in z.infolist() if i.filename != "Zorvex.exe"]
        self.refused("no-tool", zip_of(entries), "Unzip", unpacked=False)
        self.refused("no-entries", zip_of([]), "Unzip", unpacked=False)
        self.assertFalse(os.path.exists(self.install_dir(MAIN, "bin")))

    def test_a_package_larger_than_the_free_space_is_refused_before_anything_is_written(self):
        # Small entries that declare 4 GB each, more of them than the drive has room for.
        free = shutil.disk_usage(self.path("localappdata")).free
        names = ["data/big%03d.bin" % i for i in range(free // 0xFFFF0000 + 2)]
        data = with_declared_sizes(self.package(extra=[(n, bytes(1000)) for n in names]), names, 0xFFFF0000)
        print("no-room: %d entries of 4 GB declared in %d bytes, %.1f GB free" % (len(names), len(data),
                                                                                   free / 1e9))
        self.refused("no-room", data, "Unzip", unpacked=False)
        # Over an installation: its files stay untouched, also those the package would replace first.
        self.refused("no-room-over", data, "Unzip", unpacked=False)

    # -- a window closed in the middle of the unpacking ----------------------------------------------------------
    def test_closing_during_a_large_entry_ends_at_once_and_leaves_nothing(self):
        size = 240 * (16 << 20)  # 3.75 GB
        entries = [zeros_entry("data/zeros.bin", size)]
        with zipfile.ZipFile(io.BytesIO(self.sound)) as z:
            for info in z.infolist():
                data = z.read(info)
                entries.insert(0, (info.filename, 8, deflated(data), zlib.crc32(data), len(data)))
        self.serve(raw_zip(entries))
        setup = self.walk(MAIN)
        partial = self.install_dir(MAIN, "data", "zeros.bin")
        zrx_e2e.poll("the large entry under way", lambda: os.path.exists(partial) and os.path.getsize(partial),
                     timeout=180)
        self.assertTrue(os.path.exists(self.path("temp", "Zorvex Setup", "zrxsetup.zip")))
        started = time.monotonic()
        setup.close()
        self.assertEqual(setup.wait_exit(timeout=60), 0)
        print("closed during a large entry: ended %.1f s after the close, peak %.1f MB" %
              (time.monotonic() - started, setup.peak_mb))
        self.assertEqual(self.log_lines()[-1], "Unzip")
        self.assert_nothing_left("closed mid-entry")
        self.assertEqual(os.listdir(self.path("temp")), ["zrxsetup.log"])
        self.assertEqual(self.tool_runs(), [])
