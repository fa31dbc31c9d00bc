#!/usr/bin/env python3
"""Makes the archives that the ZIP tests read: real tools' output (Info-ZIP zip, Python's zipfile) and
hand-damaged or hostile archives. Usage: make_fixtures.py OUTDIR [WRITTEN]
WRITTEN, when given, is emptied: the tests put the archives they write there for the native check."""
import io
import os
import random
import shutil
import struct
import subprocess
import sys
import zipfile
import zlib

out = os.path.abspath(sys.argv[1])
src = os.path.join(out, "src")
shutil.rmtree(out, ignore_errors=True)
if len(sys.argv) > 2:
    shutil.rmtree(sys.argv[2], ignore_errors=True)
os.makedirs(src)


def put(rel, data):
    path = os.path.join(src, rel)
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "wb") as f:
        f.write(data)


rng = random.Random(8)
put("hello.txt", b"Hello, archive!\r\n" * 3)
put("empty.txt", b"")
put("bin/random.bin", bytes(rng.getrandbits(8) for _ in range(300_000)))
put("bin/zeros.bin", bytes(2_000_000))
put("deep/a/b/c/note.txt", "\u00e9t\u00e9 in cp1252 body".encode("cp1252"))
put("text/lorem.txt", b"lorem ipsum dolor sit amet " * 5000)
os.makedirs(os.path.join(src, "emptydir"))
FILES = ["hello.txt", "empty.txt", "bin/random.bin", "bin/zeros.bin", "deep/a/b/c/note.txt", "text/lorem.txt"]


def data_of(rel):
    with open(os.path.join(src, rel), "rb") as f:
        return f.read()


def run(*args, **kw):
    subprocess.run(args, check=True, cwd=src, **kw)


def arc(name):
    return os.path.join(out, name)


# Info-ZIP: deflated with folders and an archive comment, stored, and streamed (data descriptors).
run("zip", "-r", "-q", "-X", arc("infozip_deflated.zip"), ".")
run("zip", "-q", "-z", arc("infozip_deflated.zip"), input=b"Info-ZIP archive comment\n")
run("zip", "-r", "-q", "-X", "-0", arc("infozip_stored.zip"), ".")
with open(arc("infozip_stream.zip"), "wb") as f:
    zipper = subprocess.Popen(["zip", "-q", "-X", "-", *FILES], cwd=src, stdout=subprocess.PIPE)
    shutil.copyfileobj(zipper.stdout, f)
    assert zipper.wait() == 0
run("zip", "-q", "-X", "-P", "secret", arc("encrypted.zip"), "hello.txt")


def fixed_info(name, attr=0x20, date=(2024, 5, 17, 12, 30, 42), method=zipfile.ZIP_DEFLATED):
    info = zipfile.ZipInfo(name, date)
    info.external_attr = attr
    info.compress_type = method
    info.create_system = 0
    return info


# Python: deflated with entry comments, attributes and folder entries; stored; streamed with descriptors.
with zipfile.ZipFile(arc("python_deflated.zip"), "w") as z:
    z.comment = b"Python archive comment"
    z.writestr(fixed_info("emptydir/", 0x10, method=zipfile.ZIP_STORED), b"")
    for rel in FILES:
        info = fixed_info(rel)
        info.comment = b"comment of " + rel.encode()
        z.writestr(info, data_of(rel))
    z.writestr(fixed_info("attrs/readonly_hidden.txt", 0x01 | 0x02 | 0x20), b"read-only and hidden")
    z.writestr(fixed_info("attrs/system.txt", 0x04 | 0x20), b"system")
with zipfile.ZipFile(arc("python_stored.zip"), "w", zipfile.ZIP_STORED) as z:
    for rel in FILES:
        z.writestr(fixed_info(rel, method=zipfile.ZIP_STORED), data_of(rel))


class Unseekable(io.RawIOBase):
    def __init__(self):
        self.buffer = io.BytesIO()

    def writable(self):
        return True

    def write(self, b):
        return self.buffer.write(b)


sink = Unseekable()
with zipfile.ZipFile(sink, "w", zipfile.ZIP_DEFLATED) as z:
    for rel in FILES:
        z.writestr(fixed_info(rel), data_of(rel))
with open(arc("python_stream.zip"), "wb") as f:
    f.write(sink.buffer.getvalue())
assert all(i.flag_bits & 8 for i in zipfile.ZipFile(arc("python_stream.zip")).infolist())


# Hand-built archives: one entry list in, exact bytes out, so that fields can be set at will.
def build(entries, comment=b"", end_count=None, cd_offset=None):
    local, central = b"", b""
    for e in entries:
        name, data = e["name"].encode("cp1252") if isinstance(e["name"], str) else e["name"], e.get("data", b"")
        method = e.get("method", 8)
        body = data
        if method == 8:
            c = zlib.compressobj(9, zlib.DEFLATED, -15)
            body = c.compress(data) + c.flush()
        body = e.get("body", body)
        crc = e.get("crc", zlib.crc32(data))
        usize = e.get("usize", len(data))
        date = e.get("date", (12 << 11 | 30 << 5 | 21) | ((2024 - 1980) << 9 | 5 << 5 | 17) << 16)
        flags = e.get("flags", 0)
        descriptor = e.get("descriptor")  # 16: with its signature, 12: without
        if descriptor:
            flags |= 8
        offset = len(local)
        sizes = (0, 0, 0) if descriptor else (crc, len(body), usize)
        local += struct.pack("<IHHHIIIIHH", 0x04034B50, 20, flags, method, date, *sizes, len(name), 0)
        local += name + body
        if descriptor:
            local += struct.pack("<IIII", 0x08074B50, crc, len(body), usize)[16 - descriptor:]
        central += struct.pack("<IHHHHIIIIHHHHHII", 0x02014B50, 20, 20, flags, method, date, crc, len(body), usize,
                               len(name), 0, 0, 0, 0, e.get("attr", 0x20), offset) + name
    n = len(entries) if end_count is None else end_count
    start = len(local) if cd_offset is None else cd_offset
    end = struct.pack("<IHHHHIIH", 0x06054B50, 0, 0, n, n, len(central), start, len(comment)) + comment
    return local + central + end


def save(name, data):
    with open(arc(name), "wb") as f:
        f.write(data)


GOOD = {"name": "good.txt", "data": b"good data"}
# Names that would leave the target folder.
save("trav_dotdot.zip", build([GOOD, {"name": "sub/../../evil.txt", "data": b"evil"}]))
save("trav_backslash.zip", build([GOOD, {"name": "..\\evil.txt", "data": b"evil"}]))
save("trav_absolute.zip", build([GOOD, {"name": "/evil_abs.txt", "data": b"evil"}]))
save("trav_drive.zip", build([GOOD, {"name": "C:../evil.txt", "data": b"evil"}]))
save("trav_dots.zip", build([GOOD, {"name": "a/.../evil.txt", "data": b"evil"}]))
save("trav_device.zip", build([GOOD, {"name": "sub/con.txt", "data": b"device"}]))
save("trav_unc.zip", build([GOOD, {"name": "//server/share/../../evil.txt", "data": b"evil"}]))
# Wrong CRC-32 on intact deflate data, and a flipped byte in stored data.
save("crc_mismatch.zip", build([GOOD, {"name": "bad.txt", "data": b"payload " * 100, "crc": 0x12345678}]))
flipped = bytearray(build([GOOD, {"name": "flip.txt", "data": b"stored payload", "method": 0}]))
flipped[flipped.index(b"stored payload") + 3] ^= 0x20
save("crc_flipped.zip", bytes(flipped))
# Deflate data that ends cleanly but yields fewer bytes than the entry's size.
save("short_deflate.zip", build([GOOD, {"name": "short.txt", "data": b"abc", "usize": 10}]))
# Deflate data that is no deflate stream at all.
save("bad_deflate.zip", build([GOOD, {"name": "garbage.bin", "data": b"x" * 100, "body": b"\xff" * 50}]))
# Stored entry shorter than its size.
save("short_stored.zip", build([GOOD, {"name": "short.bin", "data": b"abc", "method": 0, "usize": 10}]))
# Second local header overwritten.
damaged = bytearray(build([GOOD, {"name": "second.txt", "data": b"second"}]))
second = damaged.index(b"PK\x03\x04", 4)
damaged[second:second + 4] = b"XXXX"
save("damaged_local.zip", bytes(damaged))
# A real archive cut in the middle of its big entry: no end record, the walk finds a short entry.
whole = open(arc("python_stored.zip"), "rb").read()
save("truncated.zip", whole[: whole.index(b"bin/zeros.bin") + 1000])
# End records that point outside the file.
save("eocd_outside.zip", build([GOOD], cd_offset=0x7FFFFF00))
save("eocd_outside_many.zip", build([GOOD], end_count=65535, cd_offset=0x7FFFFF00))
save("count_mismatch.zip", build([GOOD, {"name": "two.txt", "data": b"2"}], end_count=3))
save("date_zero.zip", build([{"name": "nodate.txt", "data": b"x", "date": 0}]))
# Local headers only (directory cut off), with a folder entry.
only = build([{"name": "dir/", "data": b"", "method": 0}, GOOD, {"name": "dir/x.bin", "data": b"x" * 5000}])
save("local_only.zip", only[: only.index(b"PK\x01\x02")])
# Streamed entries with their directory cut off: the walk finds each entry's end by its data descriptor.
streamed = open(arc("python_stream.zip"), "rb").read()
save("stream_local_only.zip", streamed[: streamed.index(b"PK\x01\x02")])
# Three directory records sharing one entry's data: the overlap of a zip bomb.
bomb = bytearray(build([{"name": "a.bin", "data": bytes(100000)}, {"name": "b.bin", "data": b"b"},
                        {"name": "c.bin", "data": b"c"}]))
cd = bomb.index(b"PK\x01\x02")
for k in range(3):
    rec = bomb.index(b"PK\x01\x02", cd + k)
    bomb[rec + 42:rec + 46] = struct.pack("<I", 0)
    cd = rec
save("overlap_bomb.zip", bytes(bomb))
# Sizes near 4 GB in a small file.
save("huge_sizes.zip", build([GOOD, {"name": "huge.bin", "data": b"tiny", "method": 0, "usize": 0xFFFFFF00,
                                     "body": b"tiny"}]).replace(struct.pack("<II", 4, 0xFFFFFF00),
                                                               struct.pack("<II", 0xFFFFFF00, 0xFFFFFF00)))
# A folder 30,000 levels deep: a path longer than Windows accepts, in a 120 KB archive.
save("deep_folders.zip", build([GOOD, {"name": "a/" * 30000, "data": b"", "method": 0, "attr": 0x10}]))
# Data descriptors of both forms, without and with their signature.
save("descriptors.zip", build([{"name": "first.txt", "data": b"first " * 200, "descriptor": 12},
                               {"name": "second.txt", "data": b"second " * 300, "descriptor": 16},
                               {"name": "third.txt", "data": b"third " * 100, "descriptor": 12}, GOOD]))
# End-record search windows.
small = build([GOOD], comment=b"c" * 300)
assert len(small) < 1024
save("comment300_small.zip", small)
big = build([{"name": "big.bin", "data": bytes(rng.getrandbits(8) for _ in range(70_000)), "method": 0}],
            comment=b"k" * 2000)
assert len(big) >= 65536
save("comment2000_big.zip", big)
save("only_end_record.zip", build([]))
# Enough entries for extraction to share the work among threads; a bad one and a refused one part-way.
def many(i):
    return {"name": "p%d/e%03d.txt" % (i % 10, i), "data": b"entry %d\n" % i * (i % 50 + 1)}


save("many_small.zip", build([many(i) for i in range(200)]))
# The bad entry is slow to inflate, so that the other threads have written later entries when it fails.
save("many_small_bad.zip", build([many(i) for i in range(40)] + [{"name": "p0/big.bin", "data": bytes(40_000_000),
                                                                  "crc": 1}] +
                                 [many(i) for i in range(41, 200)] +
                                 [{"name": "late/", "data": b"", "method": 0, "attr": 0x10},
                                  {"name": "late/sub/deep.txt", "data": b"late"}]))
save("many_small_refused.zip", build([many(i) for i in range(150)] + [{"name": "../evil.txt", "data": b"x"}] +
                                     [many(i) for i in range(151, 200)]))
save("many_dupes.zip", build([many(i) for i in range(100)] + [{"name": "p0/e010.txt", "data": b"second e010"},
                                                            {"name": "P0/E020.TXT. ", "data": b"second e020"}]))
# 65,535 entries: the most a plain end record can count.
with zipfile.ZipFile(arc("many_entries.zip"), "w", zipfile.ZIP_STORED) as z:
    for i in range(65535):
        z.writestr(zipfile.ZipInfo("m/%05d.txt" % i, (2024, 1, 1, 0, 0, 0)), b"%d" % i)
# More entries than a plain end record counts: Python caps its count at 0xFFFF and adds ZIP64 records.
with zipfile.ZipFile(arc("zip64_count.zip"), "w", zipfile.ZIP_STORED) as z:
    for i in range(65537):
        z.writestr(zipfile.ZipInfo("m/%05d.txt" % i, (2024, 1, 1, 0, 0, 0)), b"%d" % i)
# End records that disagree with the directory they point at: one record fewer than there are, an offset at the
# local data, a directory that ends short of the end record, a second disk.
three = [GOOD, {"name": "two.txt", "data": b"2"}, {"name": "three.txt", "data": b"3"}]
save("count_low.zip", build(three, end_count=2))
save("cd_offset_local.zip", build(three, cd_offset=0))
# Count and size that agree with each other but describe two of the three records before the end record.
whole3 = build(three)
cd_at, end_at = whole3.index(b"PK\x01\x02"), whole3.index(b"PK\x05\x06")
two_records = whole3.index(b"PK\x01\x02", whole3.index(b"PK\x01\x02", cd_at + 4) + 4) - cd_at
save("cd_part.zip", whole3[:end_at] + struct.pack("<IHHHHIIH", 0x06054B50, 0, 0, 2, 2, two_records, cd_at, 0))
# The entries on this disk and in all disagree (3 and 4); size and offset describe the three records exactly.
save("disk_count_differs.zip", whole3[:end_at] + struct.pack("<IHHHHIIH", 0x06054B50, 0, 0, 3, 4,
                                                             end_at - cd_at, cd_at, 0))
# Names in UTF-8 (Python sets flag bit 11 for names that are not ASCII) beside one in the ANSI code page
# without the flag; enough entries for extraction to share the work among threads.
with zipfile.ZipFile(arc("utf8_names.zip"), "w", zipfile.ZIP_DEFLATED) as z:
    z.writestr(fixed_info("заметка.txt"), "заметка".encode("utf-8"))
    for i in range(20):
        z.writestr(fixed_info("папка/файл%02d.txt" % i), b"%d" % i)
with open(arc("utf8_names.zip"), "rb") as f:
    assert all(i.flag_bits & 0x800 for i in zipfile.ZipFile(f).infolist())
save("ansi_name.zip", build([{"name": "café.txt", "data": b"ansi"}]))


# ZIP64 end record and locator before a plain end record: read whole when the records agree.
def with_zip64(data, count):
    end_at = data.index(b"PK\x05\x06")
    _, _, _, _, _, size, start, _ = struct.unpack("<IHHHHIIH", data[end_at:end_at + 22])
    record = struct.pack("<IQHHIIQQQQ", 0x06064B50, 44, 45, 45, 0, 0, count, count, size, start)
    locator = struct.pack("<IIQI", 0x07064B50, 0, end_at, 1)
    return data[:end_at] + record + locator + data[end_at:]


save("zip64_same.zip", with_zip64(build(three), 3))
save("zip64_more.zip", with_zip64(build(three), 70000))
disk = bytearray(build(three))
disk[disk.index(b"PK\x05\x06") + 4] = 1
save("second_disk.zip", bytes(disk))
print("fixtures in", out)
