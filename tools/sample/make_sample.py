#!/usr/bin/env python3
"""Writes a sample download-server content for tests/server/zrx_test_server.py (Python 3 standard library).

Layout under ROOT (one folder per host name, as the test server serves them):
    ROOT/<main host>/zrx/setup/                      base "main"
    ROOT/<mirror host><prefix>/zrx/setup/            base "mirror"
    ROOT/<mirror host><prefix>/zrx/setup-beta/       base "beta"
    ROOT/<counter host>/zrx-main, zrx-beta           base "counter" (the install counter's links)
Each setup base holds system.xml, Langs.xml, Lang_en_GB.xml, Lang_ru_RU.xml, EULA_en_GB, EULA_ru_RU,
zrxsetup.zip (the package), upx.exe and dxwebsetup.exe (the stand-in program).

    make_sample.py --root ROOT --standin build/tools/standin/standin.exe [--bases main,mirror,beta,counter]
                   [--files system.xml,Langs.xml,...] [--version 10] [--size 1.2] [--number 4711]
                   [--package-mb 20] [--pause-ms 1500]

--pause-ms makes the server answer every request of a setup base after that pause (a "pause" misbehaviour file
beside each file), so that the setup's waiting pages stay long enough to be seen.

The manifest announces the package's real size unless --size gives another text.

Scripts import it and call write_sample(); the names of every file are in FILES.
"""
import argparse
import io
import os
import random
import sys
import zipfile

HERE = os.path.dirname(os.path.abspath(__file__))
SOURCE = os.path.normpath(os.path.join(HERE, "..", ".."))

MAIN_HOST = "download.zorvex.example"
MIRROR_HOST = "files.mirror.example"
MIRROR_PREFIX = "/talvenor"
COUNTER_HOST = "count.zorvex.example"

FILES = ("system.xml", "Langs.xml", "Lang_en_GB.xml", "Lang_ru_RU.xml", "EULA_en_GB", "EULA_ru_RU",
         "zrxsetup.zip", "upx.exe", "dxwebsetup.exe")
BASES = ("main", "mirror", "beta", "counter")

# Marks that tell the server's licence terms from the built-in ones.
EULA_MARK = {"en_GB": "Sample server licence terms", "ru_RU": "Пробные условия лицензии с сервера"}

# The tool's own configuration as the package brings it; the setup adds its path, key and build number.
CORE_XML = """<?xml version="1.0" encoding="UTF-8"?>
<Core version="3">
  <plugins>
    <plugin name="Quellpack" enabled="True"/>
  </plugins>
  <number>1</number>
</Core>
"""

# The files of the package besides Zorvex.exe and Core.xml: (name, data, compressed).
PACKAGE_FILES = (
    ("command line.txt", b"Zorvex command line\r\n  Zorvex.exe [file]\r\n", True),
    ("plugins/Quellpack.dll", bytes(range(256)) * 64, True),
    ("docs/readme.txt", b"Zorvex sample package.\r\n" * 20, False),
    ("data/sample/empty.dat", b"", False),
)


def base_dir(root, base, main_host=MAIN_HOST, mirror_host=MIRROR_HOST, mirror_prefix=MIRROR_PREFIX,
             counter_host=COUNTER_HOST):
    """The folder of a base ("main", "mirror", "beta" or "counter") under root."""
    mirror = os.path.join(root, mirror_host + mirror_prefix.rstrip("/"))
    return {"main": os.path.join(root, main_host, "zrx", "setup"),
            "mirror": os.path.join(mirror, "zrx", "setup"),
            "beta": os.path.join(mirror, "zrx", "setup-beta"),
            "counter": os.path.join(root, counter_host)}[base]


def size_text(data):
    """The download size as the manifest announces it: megabytes with two decimals, at least 0.01."""
    return "%.2f" % max(len(data) / (1024.0 * 1024.0), 0.01)


def system_xml(version=10, size="1.2", number=4711):
    parts = ['<?xml version="1.0" encoding="UTF-8"?>', "<setup>"]
    if version is not None:
        parts.append("  <version>%s</version>" % version)
    if size is not None:
        parts.append("  <size>%s</size>" % size)
    if number is not None:
        parts.append("  <number>%s</number>" % number)
    parts.append("</setup>")
    return ("\r\n".join(parts) + "\r\n").encode("utf-8")


def langs_xml(langs=(("en_GB", 2057), ("ru_RU", 1049))):
    items = "".join('  <lang id="%s">%d</lang>\r\n' % (i, lcid) for i, lcid in langs)
    return ('<?xml version="1.0" encoding="UTF-8"?>\r\n<langs>\r\n%s</langs>\r\n' % items).encode("utf-8")


def eula(lang):
    mark = EULA_MARK.get(lang, "Sample server licence terms")
    return ("<!DOCTYPE html>\n<html>\n<head><meta charset=\"utf-8\"><title>%s</title></head>\n<body>\n"
            "<h1>%s</h1>\n<p>%s (%s).</p>\n</body>\n</html>\n" % (mark, mark, mark, lang)).encode("utf-8")


def package(standin, core_xml=CORE_XML, package_mb=0, extra=()):
    """The bytes of zrxsetup.zip: the stand-in as Zorvex.exe, Core.xml (None leaves it out), the package
    files, extra (name, data) pairs, and incompressible filler up to package_mb megabytes."""
    out = io.BytesIO()
    with zipfile.ZipFile(out, "w") as z:
        z.writestr(zipfile.ZipInfo("Zorvex.exe", (2024, 5, 1, 12, 0, 0)), read(standin), zipfile.ZIP_DEFLATED)
        if core_xml is not None:
            z.writestr("Core.xml", core_xml.encode("utf-8"), zipfile.ZIP_DEFLATED)
        for name, data, compressed in PACKAGE_FILES:
            z.writestr(name, data, zipfile.ZIP_DEFLATED if compressed else zipfile.ZIP_STORED)
        for name, data in extra:
            z.writestr(name, data, zipfile.ZIP_DEFLATED)
        missing = package_mb * 1024 * 1024 - out.tell()
        if missing > 0:
            filler = random.Random(1).randbytes(missing)
            z.writestr("data/filler.bin", filler, zipfile.ZIP_STORED)
    return out.getvalue()


def read(path):
    with open(path, "rb") as f:
        return f.read()


def write(path, data):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "wb") as f:
        f.write(data)


def write_sample(root, standin, bases=("main", "mirror", "beta", "counter"), files=FILES, version=10,
                 size="real", number=4711, package_mb=0, core_xml=CORE_XML, main_host=MAIN_HOST,
                 mirror_host=MIRROR_HOST, mirror_prefix=MIRROR_PREFIX, counter_host=COUNTER_HOST, pause_ms=0):
    """Writes the chosen files into the chosen bases; returns {base: folder}. size "real" announces the size of
    the package written (None leaves the element out)."""
    hosts = dict(main_host=main_host, mirror_host=mirror_host, mirror_prefix=mirror_prefix,
                 counter_host=counter_host)
    makers = {
        "system.xml": lambda: system_xml(version, size_text(made_package()) if size == "real" else size, number),
        "Langs.xml": langs_xml,
        "Lang_en_GB.xml": lambda: read(os.path.join(SOURCE, "resources", "Lang_en_GB.xml")),
        "Lang_ru_RU.xml": lambda: read(os.path.join(SOURCE, "resources", "Lang_ru_RU.xml")),
        "EULA_en_GB": lambda: eula("en_GB"),
        "EULA_ru_RU": lambda: eula("ru_RU"),
        "zrxsetup.zip": lambda: made_package(),
        "upx.exe": lambda: read(standin),
        "dxwebsetup.exe": lambda: read(standin),
    }
    made, folders = {}, {}

    def made_package():
        if "zrxsetup.zip" not in made:
            made["zrxsetup.zip"] = package(standin, core_xml, package_mb)
        return made["zrxsetup.zip"]

    for base in bases:
        folder = base_dir(root, base, **hosts)
        folders[base] = folder
        os.makedirs(folder, exist_ok=True)
        if base == "counter":
            write(os.path.join(folder, "zrx-main"), b"counted\n")
            write(os.path.join(folder, "zrx-beta"), b"counted\n")
            continue
        for name in files:
            if name not in made:
                made[name] = makers[name]()
            write(os.path.join(folder, name), made[name])
            if pause_ms:
                write(os.path.join(folder, name + ".misbehave"), b"pause %d\n" % pause_ms)
    return folders


def main():
    p = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    p.add_argument("--root", required=True, help="folder that receives one folder per host name")
    p.add_argument("--standin", required=True, help="standin.exe (the package's Zorvex.exe, upx, dxwebsetup)")
    p.add_argument("--bases", default=",".join(BASES), help="which of main,mirror,beta,counter to write")
    p.add_argument("--files", default=",".join(FILES), help="which files to write into each base")
    p.add_argument("--version", default="10", help="setup version in system.xml")
    p.add_argument("--size", default="real", help="download size text in system.xml (default: the package's)")
    p.add_argument("--number", default="4711", help="build number in system.xml")
    p.add_argument("--package-mb", type=int, default=0, help="fill the package up to this many megabytes")
    p.add_argument("--pause-ms", type=int, default=0, help="the server answers each request after this pause")
    p.add_argument("--main-host", default=MAIN_HOST)
    p.add_argument("--mirror-host", default=MIRROR_HOST)
    p.add_argument("--mirror-prefix", default=MIRROR_PREFIX)
    p.add_argument("--counter-host", default=COUNTER_HOST)
    a = p.parse_args()
    split = lambda s: [x for x in s.split(",") if x]
    unknown = [b for b in split(a.bases) if b not in BASES] + [f for f in split(a.files) if f not in FILES]
    if unknown:
        p.error("unknown: " + ", ".join(unknown))
    folders = write_sample(a.root, a.standin, split(a.bases), split(a.files), a.version, a.size, a.number,
                           a.package_mb, CORE_XML, a.main_host, a.mirror_host, a.mirror_prefix, a.counter_host,
                           max(a.pause_ms, 0))
    for base, folder in folders.items():
        print("%s\t%s" % (base, folder))
    return 0


if __name__ == "__main__":
    sys.exit(main())
