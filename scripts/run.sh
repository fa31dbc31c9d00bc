#!/usr/bin/env bash
# Builds ZorvexSetup.exe and starts it under Wine, on DISPLAY when set, else on a private Xvfb.
# Arguments are passed to the setup (for example -stream:beta).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
export BUILD_DIR=${BUILD_DIR:-$root/build}

"$root/scripts/build.sh" ZorvexSetup

. "$root/scripts/wine-env.sh"
wine_env_start "$BUILD_DIR" use-existing-display
echo "ZorvexSetup.exe runs on display $DISPLAY"
set +e
wine "$BUILD_DIR/app/ZorvexSetup.exe" "$@"
rc=$?
echo "ZorvexSetup.exe ended with exit code $rc"
exit $rc
