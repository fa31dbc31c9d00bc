#!/usr/bin/env python3
"""Makes a delay-load import library from a MinGW-w64 import library: a program linked against it loads
the DLL on the first call of one of its functions instead of at start.

Usage: delay_import_lib.py DLLTOOL NM IMPORT-LIB OUTPUT-LIB"""
import os
import re
import subprocess
import sys


def main():
    dlltool, nm, library, output = sys.argv[1:5]
    dll = subprocess.run([dlltool, "--identify", library], capture_output=True, text=True, check=True).stdout.split()[0]
    symbols = subprocess.run([nm, library], capture_output=True, text=True, check=True).stdout
    # Functions have a thunk (T) beside their import pointer; data exports, which cannot be delay-loaded,
    # have the pointer only.
    thunks = set(re.findall(r"^[0-9a-f]+ T (\S+)$", symbols, re.M))
    pointers = set(re.findall(r"^[0-9a-f]+ I __imp_(\S+)$", symbols, re.M))
    functions = sorted(thunks & pointers)
    if not functions:
        sys.exit(f"{sys.argv[0]}: no functions in {library}")
    os.makedirs(os.path.dirname(output) or ".", exist_ok=True)
    definition = output + ".def"
    with open(definition, "w") as f:
        f.write(f"LIBRARY {dll}\nEXPORTS\n" + "".join(f"  {name}\n" for name in functions))
    subprocess.run([dlltool, "--input-def", definition, "--dllname", dll, "--output-delaylib", output], check=True)


if __name__ == "__main__":
    main()
