#!/usr/bin/env bash
# Configures and builds everything (or the targets named) for Windows into BUILD_DIR (default build/).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build_dir=${BUILD_DIR:-$root/build}

"$root/scripts/bootstrap.sh"
# Configured every time: areas join the build when their folder gets a build file.
cmake -S "$root" -B "$build_dir" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake" >/dev/null
targets=()
for t in "$@"; do targets+=(--target "$t"); done
cmake --build "$build_dir" -j"${JOBS:-$(nproc)}" "${targets[@]}"
