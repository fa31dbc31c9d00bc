#!/usr/bin/env bash
# Builds ZorvexSetup.exe and runs it under Wine, on DISPLAY when set, else on a private Xvfb display.
#
#   scripts/run.sh [setup arguments]            against a sample download server on this machine
#   scripts/run.sh --offline [setup arguments]  with no server at all (every request is refused)
#   scripts/run.sh --direct [setup arguments]   against the servers the build names, without a proxy
#   scripts/run.sh --walk [setup arguments]     clicks through the default road itself (for a machine without
#                                               a display): prints each page and saves its screenshot in
#                                               BUILD_DIR/run/shots/
# --walk may follow --offline or --direct.
#
# The sample server is tests/server/zrx_test_server.py serving what tools/sample/make_sample.py writes (a
# manifest, the language list and files, licence terms, and a package holding the stand-in Zorvex.exe). The
# setup reaches it through the Wine prefix's per-user proxy setting, so the setup's own server names are
# used unchanged. The run has a Wine prefix of its own (BUILD_DIR/run/wineprefix), apart from the tests', with
# the same configuration (scripts/wine-env.sh). The prefix ends when every program in it has ended: the
# installed tool, Explorer or the uninstaller that the setup starts live on; Ctrl-C ends them all.
# Setup arguments are passed on, for example -stream:beta or -uninstall.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
export BUILD_DIR=${BUILD_DIR:-$root/build}

mode=sample walk=
while [ $# -gt 0 ]; do
  case "$1" in
  --offline | --direct) mode=${1#--} ;;
  --walk) walk=1 ;;
  *) break ;;
  esac
  shift
done

targets=(ZorvexSetup standin)
[ -n "$walk" ] && targets+=(driver)
"$root/scripts/build.sh" "${targets[@]}"

run_dir="$BUILD_DIR/run"
mkdir -p "$run_dir"
. "$root/scripts/wine-env.sh"
wine_env_start "$run_dir" use-existing-display until-programs-end

server_port_file="$run_dir/server.port"
stop_all() {
  if [ -f "$server_port_file" ]; then
    python3 "$root/tests/server/zrx_test_server.py" --stop --port-file "$server_port_file" >/dev/null 2>&1 || true
    rm -f "$server_port_file"
  fi
  wine_env_stop
}
trap stop_all EXIT
# Commands that may run long are waited for with "wait", which a Ctrl-C interrupts at once (a program that
# handles the signal itself would otherwise swallow it).
trap 'echo; echo "Interrupted: every program of the prefix is ended"; exit 130' INT TERM

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
  # Each run's requests alone.
  rm -f "$run_dir/server.log"
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

# What lies in the prefix before the run, to report what this run changed.
local_appdata=$(find "$WINEPREFIX/drive_c/users" -maxdepth 3 -type d -path '*/AppData/Local' 2>/dev/null | head -n 1)
desktop=$(find "$WINEPREFIX/drive_c/users" -maxdepth 3 -type d -path '*/Desktop' 2>/dev/null | head -n 1)
state() { # one line per installation and local installation: modification time and path
  local tool dir
  for tool in Zorvex Zorvex-beta; do
    dir="$local_appdata/Talvenor/Apps/$tool"
    [ -f "$dir/Zorvex.exe" ] && echo "$(stat -c %Y "$dir/Core.xml" 2>/dev/null || echo 0) $dir"
  done
  [ -n "$desktop" ] && find "$desktop" -maxdepth 2 -iname '*.exe' -printf '%T@ %p\n' 2>/dev/null
  return 0
}
declare -A before=()
while read -r time path; do [ -n "$path" ] && before[$path]=$time; done < <(state)

echo "ZorvexSetup.exe runs on display $DISPLAY (take a look with: import -display $DISPLAY -window root shot.png)"
set +e
if [ -n "$walk" ]; then
  wine "$BUILD_DIR/app/ZorvexSetup.exe" "$@" >"$run_dir/setup.out" 2>&1 &
  setup=$!
  python3 "$root/scripts/walk.py" --shots "$run_dir/shots" -- "$@" &
  wait $!
  walked=$?
  # A walk that lost its way leaves the window to nobody.
  [ $walked -eq 0 ] || wineserver -k
  wait $setup
  rc=$?
else
  wine "$BUILD_DIR/app/ZorvexSetup.exe" "$@" &
  wait $!
  rc=$?
fi
set -e
echo "ZorvexSetup.exe ended with exit code $rc"
if [ -n "$walk" ]; then
  # Nobody can close what a walk leaves open on a private display: what still runs after a while is ended.
  wine_env_wait_programs 30 || echo "Programs still ran in the prefix after the walk; they are ended"
else
  echo "Waiting for the programs it started to end (Ctrl-C ends them)"
  wine_env_wait_programs
fi

changed=0
declare -A after=()
while read -r time path; do
  [ -n "$path" ] || continue
  after[$path]=$time
  [ "${before[$path]:-}" = "$time" ] && continue
  changed=1
  case $path in
  "$local_appdata"/*) echo "This run installed Zorvex in $path" ;;
  *) echo "This run wrote a local installation: $path" ;;
  esac
done < <(state)
for path in "${!before[@]}"; do
  [ -n "${after[$path]:-}" ] && continue
  changed=1
  echo "This run removed $path"
done
[ $changed = 1 ] || echo "This run installed and removed nothing"
[ -z "$walk" ] || [ "${walked:-0}" -eq 0 ] || exit "$walked"
exit $rc
