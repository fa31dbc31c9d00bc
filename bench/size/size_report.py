#!/usr/bin/env python3
"""What takes the space in an executable, from the linker's map file (GNU ld, PE target).

Usage: size_report.py EXE MAP [TOP]
Prints the file's size, each section's size in the file, a table of bytes by origin (the project's
libraries by name, the C++ runtime, the C runtime, zlib, the rest) and section, and the TOP largest
input sections (default 15). Code optimised across units at the link comes from temporary objects, as one
piece ("optimised at link") unless they were made with a section per function: then each function counts
for the project's library that defines it, and what the optimiser made or merged stays in that piece."""
import collections
import os
import re
import signal
import subprocess
import sys

OUTPUT = re.compile(r"^(\.\S+)\s+0x[0-9a-f]+\s+0x([0-9a-f]+)")
INPUT = re.compile(r"^ (\S+)(?:\s+0x([0-9a-f]+)\s+0x([0-9a-f]+)\s+(.+))?$")
CONTINUED = re.compile(r"^\s+0x([0-9a-f]+)\s+0x([0-9a-f]+)\s+(\S.*)$")
SECTIONS = (".text", ".data", ".rdata", ".pdata", ".xdata", ".bss", ".rsrc")


LTRANS = re.compile(r"\.ltrans\d+\.ltrans\.o$")
CLONE = re.compile(r"\.(?:constprop|isra|part|cold|lto_priv|localalias)(?:\.\d+)?$")
DEFINERS = {}  # symbol -> the project's library that defines it


def read_definers(map_path):
    """Fills DEFINERS from the project's libraries that the link loaded."""
    base = os.path.dirname(os.path.abspath(map_path))
    with open(map_path, errors="replace") as f:
        for line in f:
            m = re.match(r"^LOAD (\S*(?:lib(zrx_\w+)\.a|objects\.a))$", line.rstrip("\n"))
            if not m:
                continue
            library = m.group(2) or "program"
            out = subprocess.run(["x86_64-w64-mingw32-nm", "--defined-only", os.path.join(base, m.group(1))],
                                 capture_output=True, text=True)
            for entry in out.stdout.splitlines():
                fields = entry.split()
                if len(fields) == 3 and fields[1] in "TtWw":
                    DEFINERS.setdefault(fields[2], library)


def origin(path, section=""):
    """A short name for where an input section came from."""
    name = os.path.basename(path)
    if LTRANS.search(name):
        symbol = section.split("$", 1)[1] if "$" in section else ""
        while CLONE.search(symbol):
            symbol = CLONE.sub("", symbol)
        return DEFINERS.get(symbol, "optimised at link")
    m = re.match(r"lib(zrx_\w+)\.a\(", name)
    if m:
        return m.group(1)
    if name.startswith("objects.a(") or name.endswith(".rc.res") or ".rc." in name:
        return "program"
    if name.startswith(("libstdc++", "libsupc++")):
        return "libstdc++"
    if name.startswith(("libgcc", "libgcc_eh")):
        return "libgcc"
    if name.startswith(("libz.a", "libz(")):
        return "zlib"
    if name.startswith("libpthread") or name.startswith("libwinpthread"):
        return "winpthread"
    if re.match(r"lib(mingw|msvcrt|moldname|mingwex|crt|dll|ucrt)", name) or name.startswith(("crt", "dll")):
        return "C runtime"
    if re.match(r"lib\w+\.a\(", name):
        return "import stubs"
    return "other"


def parse(map_path):
    sizes = collections.defaultdict(lambda: collections.Counter())  # origin -> section -> bytes
    pieces = []
    section = None
    pending = None
    with open(map_path, errors="replace") as f:
        for line in f:
            line = line.rstrip("\n")
            m = OUTPUT.match(line)
            if m:
                section = m.group(1)
                pending = None
                continue
            if section not in SECTIONS:
                continue
            if pending:
                c = CONTINUED.match(line)
                if c:
                    size = int(c.group(2), 16)
                    if size:
                        sizes[origin(c.group(3), pending)][section] += size
                        pieces.append((size, section, pending, c.group(3)))
                pending = None
                continue
            m = INPUT.match(line)
            if not m or m.group(1).startswith("*"):
                continue
            if m.group(2) is None:
                pending = m.group(1)
                continue
            size = int(m.group(3), 16)
            if size:
                sizes[origin(m.group(4), m.group(1))][section] += size
                pieces.append((size, section, m.group(1), m.group(4)))
    return sizes, pieces


def file_sections(exe):
    out = subprocess.run(["x86_64-w64-mingw32-objdump", "-h", exe], capture_output=True, text=True, check=True)
    result = []
    for line in out.stdout.splitlines():
        f = line.split()
        if len(f) >= 7 and f[0].isdigit():
            # A section without file data (.bss) has a file offset of 0.
            result.append((f[1], int(f[2], 16), int(f[5], 16) != 0))
    return result


def main():
    signal.signal(signal.SIGPIPE, signal.SIG_DFL)  # quiet when read through head
    if len(sys.argv) < 3:
        sys.exit(__doc__)
    exe, map_path = sys.argv[1], sys.argv[2]
    top = int(sys.argv[3]) if len(sys.argv) > 3 else 15
    print(f"{os.path.basename(exe)}: {os.path.getsize(exe):,} bytes ({os.path.getsize(exe) / 1024:.0f} KB)")
    print("sections in the file: " + ", ".join(
        f"{name} {size:,}" for name, size, in_file in file_sections(exe) if in_file))
    read_definers(map_path)
    sizes, pieces = parse(map_path)
    cols = [s for s in SECTIONS if s != ".rsrc"]
    print()
    print(f"{'by origin':18}" + "".join(f"{c:>10}" for c in cols) + f"{'total':>10}")
    rows = sorted(sizes.items(), key=lambda kv: -sum(kv[1][c] for c in cols))
    for name, counter in rows:
        total = sum(counter[c] for c in cols)
        if total:
            print(f"{name:18}" + "".join(f"{counter[c]:>10,}" for c in cols) + f"{total:>10,}")
    print(f"{'all':18}" + "".join(f"{sum(r[c] for _, r in rows):>10,}" for c in cols)
          + f"{sum(sum(r[c] for c in cols) for _, r in rows):>10,}")
    print("(.bss takes no room in the file; resources are the .rsrc section above)")
    print()
    print(f"largest input sections:")
    for size, section, name, path in sorted(pieces, reverse=True)[:top]:
        print(f"{size:>9,}  {section:7} {name[:60]:60} {origin(path, name)}")


if __name__ == "__main__":
    main()
