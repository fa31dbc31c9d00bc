#!/usr/bin/env bash
# Builds everything and runs every test under Wine on a private Xvfb display.
# Arguments are passed to ctest (for example -R zip to run some tests only).
# BUILD_TARGETS (space-separated) builds only those targets and skips the import check.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
export BUILD_DIR=${BUILD_DIR:-$root/build}

# shellcheck disable=SC2086
"$root/scripts/build.sh" ${BUILD_TARGETS:-}

# The setup must run on a clean Windows: it may import system DLLs only.
check_imports() {
  local exe=$1 imports bad
  imports=$(x86_64-w64-mingw32-objdump -p "$exe" | sed -n 's/^\s*DLL Name: //p')
  # DLLs loaded on first call come from delay-load libraries, which the linker's map names.
  imports="$imports"$'\n'"$(grep -o 'delayload/lib[a-z0-9_]*\.a' "${exe%.exe}.map" 2>/dev/null | sort -u |
    sed 's|.*/lib||; s|\.a$|.dll|')"
  local system_dlls='^(kernel32|user32|gdi32|gdiplus|shell32|shlwapi|ole32|oleaut32|advapi32|comctl32|comdlg32|wininet|msvcrt|version|uxtheme|msimg32|api-ms-win-[a-z0-9-]+)\.dll$'
  bad=$(printf '%s\n' "$imports" | grep -viE "$system_dlls" || true)
  if [ -n "$bad" ]; then
    echo "$(basename "$exe") imports DLLs that a clean Windows lacks:" $bad >&2
    return 1
  fi
  echo "$(basename "$exe") imports system DLLs only:" $imports
  # Its POSIX thread calls are its own (runtime/PosixThreads.cpp): a member of the library in its map means
  # that something calls one the program lacks.
  if grep -q 'libpthread\.a(' "${exe%.exe}.map" 2>/dev/null; then
    echo "$(basename "$exe") links the POSIX thread library" >&2
    return 1
  fi
}
[ -n "${BUILD_TARGETS:-}" ] || check_imports "$BUILD_DIR/app/ZorvexSetup.exe"

# One system language for every test that names none. A program started under another one makes Wine rewrite
# the prefix's regional settings (decimal separator, code page ...) under the programs running then: the tests
# that name another run alone (RUN_SERIAL).
unset LC_ALL LC_CTYPE LC_MESSAGES LC_NUMERIC LANGUAGE
export LANG=C.UTF-8
. "$root/scripts/wine-env.sh"
wine_env_start "$BUILD_DIR"
ctest --test-dir "$BUILD_DIR" --output-on-failure --timeout 600 -j"$(nproc)" "$@"
