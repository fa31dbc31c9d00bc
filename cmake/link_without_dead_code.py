#!/usr/bin/env python3
"""Links a MinGW-w64 program without the functions that nothing calls.

GNU ld keeps every unwind-table section (.pdata) as a root of --gc-sections, and each unwind entry refers
to its function, so no function of a linked object is ever collected: a static program carries every
function of every object it uses a single function of. This script runs as the link rule's launcher:
it links once with the unwind table no longer a root, reads from that link's map which code sections
were collected, links again with their unwind entries discarded, and checks that the program's unwind
table covers exactly the code it holds (a function without its entry could not pass an exception on).
With optimisation at the link, the code optimised across units comes from temporary objects whose names
change from one link to the next: they are matched by their partition's number.

Usage: link_without_dead_code.py COMPILER ARGS...   (the link command; other commands run unchanged)
"""
import os
import re
import subprocess
import sys

ROOTED = "KEEP(*(.pdata*))"


def run(command):
    result = subprocess.run(command)
    if result.returncode:
        sys.exit(result.returncode)


def default_script(compiler):
    ld = subprocess.run([compiler, "-print-prog-name=ld"], capture_output=True, text=True, check=True).stdout.strip()
    text = subprocess.run([ld, "--verbose"], capture_output=True, text=True, check=True).stdout
    parts = text.split("==================================================")
    if len(parts) < 3 or ROOTED not in parts[1]:
        sys.exit(f"{sys.argv[0]}: the linker's default script does not keep {ROOTED} as expected")
    return parts[1].replace(ROOTED, "*(.pdata*)")


SECTION = re.compile(r"^ (\.(?:text|pdata|xdata)\S*)(?:\s+0x[0-9a-f]+\s+0x([0-9a-f]+)\s+(\S.*))?$")
CONTINUED = re.compile(r"^\s+0x[0-9a-f]+\s+0x([0-9a-f]+)\s+(\S.*)$")


def read_map(path):
    """{(kind, suffix, file): kept} for every code and unwind input section of the map; kind is text,
    pdata or xdata, and a code section .text<suffix> has its unwind entries in .pdata<suffix> and
    .xdata<suffix> of the same file."""
    sections = {}
    kept = None
    pending = None
    with open(path, errors="replace") as f:
        for line in f:
            line = line.rstrip("\n")
            if line.startswith("Discarded input sections"):
                kept = False
                continue
            if line.startswith("Linker script and memory map"):
                kept = True
                continue
            if kept is None:
                continue
            if pending:
                m = CONTINUED.match(line)
                if m:
                    add(sections, pending, int(m.group(1), 16), m.group(2), kept)
                pending = None
                continue
            m = SECTION.match(line)
            if m:
                if m.group(3) is None:
                    pending = m.group(1)
                else:
                    add(sections, m.group(1), int(m.group(2), 16), m.group(3), kept)
    return sections


LTRANS = re.compile(r"^.*[\\/][^\\/.]*(\.ltrans\d+\.ltrans\.o)$")


def add(sections, name, size, file, kept):
    if not size or " " in file:
        return
    file = LTRANS.sub(r"*\1", file)  # /tmp/ccXXXXXX.ltrans0.ltrans.o -> *.ltrans0.ltrans.o
    kind = re.match(r"\.(text|pdata|xdata)", name).group(1)
    suffix = name[len(kind) + 1 :]
    key = (kind, suffix, file)
    sections[key] = sections.get(key, False) or kept


def file_pattern(file):
    m = re.match(r"^(.*)\((.+)\)$", file)
    if m:  # a member of an archive
        return f"*{os.path.basename(m.group(1))}:{m.group(2)}"
    if file.startswith("*"):  # an object of the optimisation at the link
        return file
    return f":{file}"


def discard_block(probe):
    lines = []
    for (kind, suffix, file), kept in sorted(probe.items()):
        if kind == "text" and not kept:
            lines.append(f"    {file_pattern(file)}(.pdata{suffix} .xdata{suffix})")
    return "  /DISCARD/ : {\n" + "\n".join(lines) + "\n  }\n", len(lines)


def check(probe, final):
    problems = []
    for (kind, suffix, file), kept in final.items():
        if kept and kind == "pdata" and not final.get(("text", suffix, file)):
            problems.append(f"unwind entries .pdata{suffix} of {file} without their code")
        if kept and kind == "text" and ("pdata", suffix, file) in probe and not final.get(("pdata", suffix, file)):
            problems.append(f"code .text{suffix} of {file} without its unwind entries")
    return problems


def main():
    command = sys.argv[1:]
    if "-o" not in command or not command[command.index("-o") + 1].endswith(".exe"):
        os.execvp(command[0], command)
    out = command[command.index("-o") + 1]
    work = out + ".gc"
    os.makedirs(work, exist_ok=True)
    final_map = next((a[len("-Wl,-Map="):] for a in command if a.startswith("-Wl,-Map=")), None)
    base = [a for a in command if not a.startswith("-Wl,-Map=")]

    script = default_script(command[0])
    probe_ld, probe_map = os.path.join(work, "probe.ld"), os.path.join(work, "probe.map")
    with open(probe_ld, "w") as f:
        f.write(script)
    probe_command = list(base)
    probe_command[probe_command.index("-o") + 1] = os.path.join(work, "probe.exe")
    run(probe_command + [f"-Wl,-T,{probe_ld}", f"-Wl,-Map={probe_map}"])
    probe = read_map(probe_map)

    block, dropped = discard_block(probe)
    at = script.index("  .pdata")
    final_ld = os.path.join(work, "final.ld")
    with open(final_ld, "w") as f:
        f.write(script[:at] + block + script[at:])
    final_map = final_map or os.path.join(work, "final.map")
    run(base + [f"-Wl,-T,{final_ld}", f"-Wl,-Map={final_map}"])

    problems = check(probe, read_map(final_map))
    if problems:
        os.remove(out)
        sys.exit(f"{sys.argv[0]}: the unwind table of {out} does not match its code:\n  " + "\n  ".join(problems[:20]))


if __name__ == "__main__":
    main()
