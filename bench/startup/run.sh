#!/usr/bin/env bash
# Measures ZorvexSetup.exe: its size, and the time from process start to the preparation page, over RUNS runs.
# Usage: BUILD_DIR=... bench/startup/run.sh [RUNS] [EXE]   (EXE defaults to the build's ZorvexSetup.exe)
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
build=${BUILD_DIR:-$root/build}
runs=${1:-9}
"$root/scripts/build.sh" bench_startup ZorvexSetup
exe=${2:-$build/app/ZorvexSetup.exe}
. "$root/scripts/wine-env.sh"
wine_env_start "$build"
wine "$build/bench/startup/bench_startup.exe" "$(winepath -w "$exe")" "$runs"
