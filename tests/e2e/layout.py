"""Installations laid out in the e2e prefix as the installer leaves them, and what of them is there.

    import layout
    layout.lay_out(case, beta=False, uninstaller=None)   # case: a zrx_e2e.ZrxTestCase
    layout.parts(case, beta)  -> {"install": bool, "config": ..., "group": ..., "desktop": ..., "key": ...}
    layout.paths(case, beta)  -> the unix paths of those parts (and "group_links": the four link files)

The install folder holds the tool's files (one read-only, some in subfolders), "uninstall.exe" (a copy of the
setup when `uninstaller` names one, else a stand-in file), "command line.txt" and "Core.xml"; the
configuration folder holds "Application.xml"; the Start-menu group holds the four links (the uninstall link
with -uninstall); the desktop link and the registry value "key" or "key-beta" (a braced GUID) are there.
"""
import os
import shutil
import stat
import struct
import uuid

ZRX_KEY = r"HKCU\Software\TlvCorp\zrx"
SITE = "http://www.zorvex.example/"


def product(beta):
    return "Zorvex BETA" if beta else "Zorvex"


def paths(case, beta):
    folder = "Zorvex-beta" if beta else "Zorvex"
    group = case.path("programs", product(beta))
    names = ["Run %s.lnk", "Uninstall %s.lnk", "Go to %s web site.lnk"]
    return {
        "install": case.path("localappdata", "Talvenor", "Apps", folder),
        "config": case.path("appdata", "Talvenor", folder),
        "group": group,
        "group_links": [os.path.join(group, n % product(beta)) for n in names] +
                       [os.path.join(group, "Command line documentation.lnk")],
        "desktop": case.path("desktop", product(beta) + ".lnk"),
        "key": (ZRX_KEY, "key-beta" if beta else "key"),
    }


def write_link(path, target, arguments=""):
    """A shell link file (.lnk) to target (a Windows path or an address) with arguments, as the shell
    writes one: header, link info with the local base path, and the arguments as Unicode string data."""
    flags = 0x02 | 0x80 | (0x20 if arguments else 0)  # HasLinkInfo, IsUnicode, HasArguments
    header = struct.pack("<I16sIIQQQIIIHHII", 0x4C, uuid.UUID("00021401-0000-0000-C000-000000000046").bytes_le,
                         flags, 0, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0)
    volume = struct.pack("<IIII", 0x11, 3, 0x5A52, 0x10) + b"\0"  # fixed drive, empty label
    base = target.encode("cp1252", "replace") + b"\0"
    info_header = 0x1C
    volume_at = info_header
    base_at = volume_at + len(volume)
    suffix_at = base_at + len(base)
    size = suffix_at + 1
    info = struct.pack("<IIIIIII", size, info_header, 1, volume_at, base_at, 0, suffix_at) + volume + base + b"\0"
    data = header + info
    if arguments:
        data += struct.pack("<H", len(arguments)) + arguments.encode("utf-16-le")
    data += b"\0\0\0\0"
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "wb") as f:
        f.write(data)


def _write(path, data):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "wb") as f:
        f.write(data.encode() if isinstance(data, str) else data)


def lay_out(case, beta=False, uninstaller=None):
    """Lays out the stream's installation; uninstaller: a setup program to place as "uninstall.exe"."""
    p = paths(case, beta)
    install, config = p["install"], p["config"]
    key = "{%s}" % str(uuid.uuid4()).upper()
    _write(os.path.join(install, "Zorvex.exe"), b"MZ" + b"\0" * 4094)
    if uninstaller:
        os.makedirs(install, exist_ok=True)
        shutil.copyfile(uninstaller, os.path.join(install, "uninstall.exe"))
    else:
        _write(os.path.join(install, "uninstall.exe"), b"MZ" + b"\0" * 1022)
    _write(os.path.join(install, "command line.txt"), "-nosplash  skips the splash screen\r\n")
    _write(os.path.join(install, "Core.xml"),
           '\ufeff<?xml version="1.0" encoding="UTF-8" standalone="yes"?>\r\n<core path="%s" key="%s">\r\n'
           '  <number>1234</number>\r\n</core>\r\n' % (case.win_path(install) + "\\", key))
    _write(os.path.join(install, "data", "textures", "stone.dds"), os.urandom(100000))
    licence = os.path.join(install, "data", "licence.txt")
    _write(licence, "terms\r\n")
    os.chmod(licence, stat.S_IREAD)  # packages bring read-only files
    _write(os.path.join(config, "Application.xml"),
           '\ufeff<?xml version="1.0" encoding="UTF-8" standalone="yes"?>\r\n<zrx path="%s">\r\n  <global>\r\n'
           '    <lang>en_GB</lang>\r\n    <workmode>1</workmode>\r\n    <eula>True</eula>\r\n  </global>\r\n'
           '</zrx>\r\n' % (case.win_path(install) + "\\"))
    win_install = case.win_path(install) + "\\"
    run, uninstall, site, docs = p["group_links"]
    write_link(run, win_install + "Zorvex.exe")
    write_link(uninstall, win_install + "uninstall.exe", "-uninstall")
    write_link(site, SITE)
    write_link(docs, win_install + "command line.txt")
    write_link(p["desktop"], win_install + "Zorvex.exe")
    case.reg_set(p["key"][0], p["key"][1], key)
    return p


def parts(case, beta):
    """Which parts of the stream's installation are there."""
    p = paths(case, beta)
    return {
        "install": os.path.isdir(p["install"]),
        "config": os.path.isdir(p["config"]),
        "group": os.path.isdir(p["group"]),
        "desktop": os.path.isfile(p["desktop"]),
        "key": case.reg_query(*p["key"]) is not None,
    }


def key_exists(case):
    """The key "Software\\TlvCorp\\zrx" is there (with or without values)."""
    return case.session.wine(["reg", "query", ZRX_KEY]).returncode == 0


ALL = {"install": True, "config": True, "group": True, "desktop": True, "key": True}
NONE = {"install": False, "config": False, "group": False, "desktop": False, "key": False}
