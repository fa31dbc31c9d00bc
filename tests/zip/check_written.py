#!/usr/bin/env python3
"""Checks the archives that the ZIP tests wrote: each must pass Info-ZIP's `unzip -t` and read back in
Python's zipfile with the entries, sizes and CRC-32 values listed in its .expect file.
Usage: check_written.py FOLDER"""
import os
import subprocess
import sys
import zipfile
import zlib

folder = sys.argv[1]
archives = sorted(n for n in os.listdir(folder) if n.endswith(".zip"))
if not archives:
    sys.exit("no archives in " + folder)
failed = False
for name in archives:
    path = os.path.join(folder, name)
    test = subprocess.run(["unzip", "-t", "-q", path], capture_output=True, text=True)
    if test.returncode != 0:
        print(f"{name}: unzip -t failed:\n{test.stdout}{test.stderr}")
        failed = True
    with zipfile.ZipFile(path) as z:
        bad = z.testzip()
        if bad:
            print(f"{name}: zipfile finds {bad} damaged")
            failed = True
        # Names as the stored bytes, as the .expect file has them: UTF-8 where flag bit 11 says so.
        got = [f"{i.filename.encode('utf-8' if i.flag_bits & 0x800 else 'cp437').decode('latin-1')}\t"
               f"{i.file_size}\t{zlib.crc32(z.read(i)):08x}" for i in z.infolist()]
    expect_path = path + ".expect"
    if not os.path.exists(expect_path):
        print(f"{name}: no .expect file")
        failed = True
        continue
    with open(expect_path, encoding="latin-1") as f:
        expected = f.read().splitlines()
    if got != expected:
        print(f"{name}: entries differ\n  expected {expected}\n  got      {got}")
        failed = True
    else:
        print(f"{name}: {len(got)} entries ok")
sys.exit(1 if failed else 0)
