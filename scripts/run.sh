#!/usr/bin/env bash
# Builds ZorvexSetup.exe and runs it under Wine, on DISPLAY when set, else on a private Xvfb display.
#
#   scripts/run.sh [setup arguments]            against a sample download server on this machine
#   scripts/run.sh --offline [setup arguments]  with no server at all (every request is refused)
#   scripts/run.sh --direct [setup arguments]   against the servers the build names, without a proxy
#
# The sample server is tests/server/zrx_test_server.py serving what tools/sample/make_sample.py writes (a
# manifest, the language list and files, licence terms, and a package holding the stand-in Zorvex.exe). The
# setup reaches it through the Wine prefix's per-user proxy setting, so the setup's own server names are
# used unchanged. The run has a Wine prefix of its own (BUILD_DIR/run/wineprefix), apart from the tests'.
# Setup arguments are passed on, for example -stream:beta.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
export BUILD_DIR=${BUILD_DIR:-$root/build}

mode=sample
case "${1:-}" in
--offline | --direct)
  mode=${1#--}
  shift
  ;;
esac

"$root/scripts/build.sh" ZorvexSetup standin

run_dir="$BUILD_DIR/run"
mkdir -p "$run_dir"
. "$root/scripts/wine-env.sh"
wine_env_start "$run_dir" use-existing-display

server_port_file="$run_dir/server.port"
stop_all() {
  if [ -f "$server_port_file" ]; then
    python3 "$root/tests/server/zrx_test_server.py" --stop --port-file "$server_port_file" >/dev/null 2>&1 || true
    rm -f "$server_port_file"
  fi
  wine_env_stop
}
trap stop_all EXIT

internet_settings='HKCU\Software\Microsoft\Windows\CurrentVersion\Internet Settings'
set_proxy() { # set_proxy PORT | set_proxy off
  if [ "$1" = off ]; then
    wine reg add "$internet_settings" /v ProxyEnable /t REG_DWORD /d 0 /f >/dev/null 2>&1
  else
    wine reg add "$internet_settings" /v ProxyEnable /t REG_DWORD /d 1 /f >/dev/null 2>&1
    wine reg add "$internet_settings" /v ProxyServer /d "127.0.0.1:$1" /f >/dev/null 2>&1
  fi
}

case $mode in
sample)
  content="$run_dir/server-root"
  rm -rf "$content"
  python3 "$root/tools/sample/make_sample.py" --root "$content" \
    --standin "$BUILD_DIR/tools/standin/standin.exe" >/dev/null
  python3 "$root/tests/server/zrx_test_server.py" --root "$content" --log "$run_dir/server.log" \
    --port-file "$server_port_file" --idle 3600 --lifetime 14400 --detach
  set_proxy "$(cat "$server_port_file")"
  echo "Sample download server: $content (requests are logged in $run_dir/server.log)"
  ;;
offline)
  # A port where nothing listens: every request is refused at once, as on a computer without a network.
  port=$(python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
  set_proxy "$port"
  echo "No server: every request of the setup is refused"
  ;;
direct)
  set_proxy off
  echo "The setup connects to the servers it was built for, without a proxy"
  ;;
esac

echo "ZorvexSetup.exe runs on display $DISPLAY (take a look with: import -display $DISPLAY -window root shot.png)"
set +e
wine "$BUILD_DIR/app/ZorvexSetup.exe" "$@"
rc=$?
set -e
echo "ZorvexSetup.exe ended with exit code $rc"

local_appdata=$(find "$WINEPREFIX/drive_c/users" -maxdepth 3 -type d -path '*/AppData/Local' 2>/dev/null | head -n 1)
for tool in Zorvex Zorvex-beta; do
  dir="$local_appdata/Talvenor/Apps/$tool"
  [ -f "$dir/Zorvex.exe" ] && echo "Zorvex is installed in this prefix: $dir"
done
exit $rc
