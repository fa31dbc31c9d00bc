#!/usr/bin/env bash
# Screenshots of every page of the window, main and beta stream, English and Russian, with a title bar (Wine's
# virtual desktop), into OUT (default BUILD_DIR/screenshots). Needs ImageMagick's import.
# Usage: BUILD_DIR=... tests/gui/screenshots.sh [OUT]
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
build=${BUILD_DIR:-$root/build}
out=${1:-$build/screenshots}
"$root/scripts/build.sh" window_pages
mkdir -p "$out"
. "$root/scripts/wine-env.sh"
wine_env_start "$build/shots"
wine reg add 'HKCU\Software\Wine\Explorer' /v Desktop /d Default /f >/dev/null 2>&1
wine reg add 'HKCU\Software\Wine\Explorer\Desktops' /v Default /d 1024x768 /f >/dev/null 2>&1
exe="$build/tests/gui/window_pages.exe"
for lang in en_GB ru_RU; do
  for stream in main beta; do
    for page in prepare nointernet final-ok final-cancel language licence choice download confirm nomanifest \
                install local local-done; do
      args=("$page" 2500)
      [ "$stream" = beta ] && args+=(-stream:beta)
      LANG=$lang.UTF-8 wine "$exe" "${args[@]}" >/dev/null 2>&1 &
      pid=$!
      sleep 1.6
      import -window root -crop 660x540+182+100 +repage "$out/$page-$stream-$lang.png"
      wait $pid || true
    done
  done
done
ls "$out"
