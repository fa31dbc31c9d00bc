#!/usr/bin/env bash
# Installation benchmark: the real setup's whole road to the success page (process start included, clicked
# through by the driver against the test server, package of about 20 MB) against the sum of its parts
# measured alone (download and unpacking). Prints medians and the ratios.
# Usage: bench/install/run.sh [RUNS]   (BUILD_DIR as for the build script, NO_BUILD=1 to use what is built;
# PACKAGE_MB, default 20)
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
export BUILD_DIR=${BUILD_DIR:-$root/build}
export RUNS=${1:-5}
export PACKAGE_MB=${PACKAGE_MB:-20}

[ -n "${NO_BUILD:-}" ] || "$root/scripts/build.sh" ZorvexSetup driver standin bench_download bench_unzip >/dev/null
cd "$root/bench/install"
ZRX_BUILD_DIR=$BUILD_DIR ZRX_SOURCE_DIR=$root python3 -B -m unittest bench_install 2>&1 |
  grep -v '^\(\.\|-\+\|Ran .*\|OK\|\)$'
