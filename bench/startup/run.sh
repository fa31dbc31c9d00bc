#!/usr/bin/env bash
# Start-up of ZorvexSetup.exe against a minimal window program with the same manifest, in the same Wine
# prefix: medians of the time from process start to the preparation page's text over RUNS alternating runs
# each, their ratio and the median of the ratios of each pair, and where the setup's time goes by phase.
# Usage: bench/startup/run.sh [RUNS] [EXE]   (BUILD_DIR as for the build script, NO_BUILD=1 to use what is
# built; EXE defaults to the build's ZorvexSetup.exe)
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
export BUILD_DIR=${BUILD_DIR:-$root/build}
runs=${1:-21}
[ -n "${NO_BUILD:-}" ] || "$root/scripts/build.sh" bench_startup bench_minimal_window ZorvexSetup >/dev/null
exe=${2:-$BUILD_DIR/app/ZorvexSetup.exe}
. "$root/scripts/wine-env.sh"
wine_env_start "$BUILD_DIR"
echo "load average before: $(cut -d' ' -f1-3 /proc/loadavg)"
wine "$BUILD_DIR/bench/startup/bench_startup.exe" "$(winepath -w "$exe")" \
  "$(winepath -w "$BUILD_DIR/bench/startup/bench_minimal_window.exe")" "$runs"
