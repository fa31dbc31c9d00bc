#!/usr/bin/env bash
# Size of ZorvexSetup.exe and what takes the space: sections of the file, bytes by origin (each of the
# project's libraries, the C++ and C runtimes, zlib, winpthread) and section, the largest pieces, and the
# DLLs it imports. Usage: bench/size/run.sh [TOP]   (BUILD_DIR as for the build script, NO_BUILD=1 to use
# what is built)
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
export BUILD_DIR=${BUILD_DIR:-$root/build}
[ -n "${NO_BUILD:-}" ] || "$root/scripts/build.sh" ZorvexSetup >/dev/null
exe="$BUILD_DIR/app/ZorvexSetup.exe"
python3 "$root/bench/size/size_report.py" "$exe" "$BUILD_DIR/app/ZorvexSetup.map" "${1:-15}"
echo
echo "imports:" $(x86_64-w64-mingw32-objdump -p "$exe" | sed -n 's/^\s*DLL Name: //p')
echo "loaded on first call:" $(grep -o 'delayload/lib[a-z0-9_]*\.a' "$BUILD_DIR/app/ZorvexSetup.map" | sort -u |
  sed 's|.*/lib||; s|\.a$|.dll|')
