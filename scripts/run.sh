#!/usr/bin/env bash
# Builds ZorvexSetup.exe and runs it under Wine, on DISPLAY when set, else on a private Xvfb display.
#
#   scripts/run.sh [setup switches]            against a sample download server on this machine
#   scripts/run.sh --offline [setup switches]  with no server at all (every request is refused)
#   scripts/run.sh --direct [setup switches]   against the servers the build names, without a proxy
#   scripts/run.sh --walk [setup switches]     clicks through the default road itself (for a machine without
#                                              a display): prints each page and saves its screenshot in
#                                              RUN_DIR/shots/
# The script's own options may stand anywhere among the setup's switches and combine (--walk with --offline
# or --direct); any other "--" option is refused. "--" ends the script's options. The script ends with the
# setup's exit code (130 on Ctrl-C) and leaves nothing running that it started.
#
# The sample server is tests/server/zrx_test_server.py serving what tools/sample/make_sample.py writes (a
# manifest, the language list and files, licence terms, and a package holding the stand-in Zorvex.exe). The
# setup reaches it through the Wine prefix's per-user proxy setting, so the setup's own server names are
# used unchanged. The run has a Wine prefix of its own (RUN_DIR/wineprefix), apart from the tests', with
# the same configuration (scripts/wine-env.sh). The prefix ends when every program in it has ended: the
# installed tool, Explorer or the uninstaller that the setup starts live on; Ctrl-C ends them all.
# Setup switches are passed on, for example -stream:beta or -uninstall.
#
# Environment: BUILD_DIR (default build/), ZRX_RUN_DIR (default BUILD_DIR/run: server content and log, the
# prefix, its home folder, the walk's screenshots), ZRX_RUN_NO_BUILD=1 (use the build as it is, as a test does).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
export BUILD_DIR=${BUILD_DIR:-$root/build}

usage() {
  echo "usage: scripts/run.sh [--offline | --direct] [--walk] [--] [setup switches such as -stream:beta -uninstall]"
}

mode=sample walk= switches=()
while [ $# -gt 0 ]; do
  case "$1" in
  --offline | --direct)
    if [ "$mode" != sample ] && [ "$mode" != "${1#--}" ]; then
      echo "run.sh: --offline and --direct exclude each other" >&2
      usage >&2
      exit 2
    fi
    mode=${1#--}
    ;;
  --walk) walk=1 ;;
  --help)
    usage
    exit 0
    ;;
  --)
    shift
    switches+=("$@")
    break
    ;;
  --*)
    echo "run.sh: unknown option $1" >&2
    usage >&2
    exit 2
    ;;
  *) switches+=("$1") ;;
  esac
  shift
done
uninstall=
for s in "${switches[@]+"${switches[@]}"}"; do
  case ${s,,} in -uninstall | /uninstall) uninstall=1 ;; esac
done

run_dir=${ZRX_RUN_DIR:-$BUILD_DIR/run}
server_port_file="$run_dir/server.port"
walk_pid=
# Everything the run started ends here, in an order that starts nothing anew: the walk first (its driver
# calls would start a Wine server again), then the sample server, the prefix's programs and the display.
stop_all() {
  local rc=$?
  trap '' INT TERM
  if [ -n "$walk_pid" ]; then
    kill "$walk_pid" 2>/dev/null || true
    wait "$walk_pid" 2>/dev/null || true
  fi
  if [ -f "$server_port_file" ]; then
    python3 "$root/tests/server/zrx_test_server.py" --stop --port-file "$server_port_file" >/dev/null 2>&1 || true
    rm -f "$server_port_file"
  fi
  if [ -n "${WINEPREFIX:-}" ]; then wine_env_stop; fi
  exit "$rc"
}
trap stop_all EXIT
# Commands that may run long are waited for with "wait", which a signal interrupts at once (a program that
# handles the signal itself would otherwise swallow it).
trap 'echo; echo "Interrupted: every program of the prefix is ended"; exit 130' INT
trap 'exit 143' TERM

if [ -z "${ZRX_RUN_NO_BUILD:-}" ]; then
  targets=(ZorvexSetup standin)
  [ -n "$walk" ] && targets+=(driver)
  "$root/scripts/build.sh" "${targets[@]}"
fi

mkdir -p "$run_dir"
. "$root/scripts/wine-env.sh"
wine_env_start "$run_dir" use-existing-display until-programs-end
trap stop_all EXIT # wine_env_start set its own

internet_settings='HKCU\Software\Microsoft\Windows\CurrentVersion\Internet Settings'
set_proxy() { # set_proxy PORT | set_proxy off
  if [ "$1" = off ]; then
    wine reg add "$internet_settings" /v ProxyEnable /t REG_DWORD /d 0 /f >/dev/null 2>&1
  else
    wine reg add "$internet_settings" /v ProxyEnable /t REG_DWORD /d 1 /f >/dev/null 2>&1
    wine reg add "$internet_settings" /v ProxyServer /d "127.0.0.1:$1" /f >/dev/null 2>&1
  fi
}

# The prefix's folders: where installations, local installations and the step log land.
user_dir=$(find "$WINEPREFIX/drive_c/users" -mindepth 1 -maxdepth 1 -type d ! -name Public 2>/dev/null | head -n 1)
local_appdata="$user_dir/AppData/Local"
# The Desktop is a link into the run's home folder: what lands there is reported where it really lies.
desktop=$(readlink -f "$user_dir/Desktop" 2>/dev/null || true)
temp_dir="$local_appdata/Temp"
[ -d "$temp_dir" ] || temp_dir="$user_dir/Temp"
step_log="$temp_dir/zrxsetup.log"

# Each run's requests and steps alone, in every mode: an old log would tell of another run.
rm -f "$run_dir/server.log" "$step_log"
case $mode in
sample)
  content="$run_dir/server-root"
  rm -rf "$content"
  # The walk's server answers each request after a pause, so that the preparation and progress pages stay
  # long enough to be seen and photographed.
  pause=()
  [ -n "$walk" ] && pause=(--pause-ms 1500)
  python3 "$root/tools/sample/make_sample.py" --root "$content" \
    --standin "$BUILD_DIR/tools/standin/standin.exe" "${pause[@]+"${pause[@]}"}" >/dev/null
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
state() { # one line per installation and local installation: modification time and path
  local tool dir
  for tool in Zorvex Zorvex-beta; do
    dir="$local_appdata/Talvenor/Apps/$tool"
    [ -f "$dir/Zorvex.exe" ] && echo "$(stat -c %Y "$dir/Core.xml" 2>/dev/null || echo 0) $dir"
  done
  [ -n "$desktop" ] && find "$desktop/" -maxdepth 2 -iname '*.exe' -printf '%T@ %p\n' 2>/dev/null
  return 0
}
declare -A before=()
while read -r time path; do [ -n "$path" ] && before[$path]=$time; done < <(state)

# What this run installed, removed or wrote, from the state before the run; and when the installation stopped
# or the run got nowhere (the cancelled or the failed-connection page, or a window closed early), how far the
# installation came by the step log.
report() {
  local changed=0 time path stopped=
  declare -A after=()
  while read -r time path; do
    [ -n "$path" ] || continue
    after[$path]=$time
    [ "${before[$path]:-}" = "$time" ] && continue
    changed=1
    case $path in
    "$local_appdata"/*) echo "This run installed Zorvex in $path" ;;
    *) echo "This run wrote a local installation on the Desktop: $path" ;;
    esac
  done < <(state)
  for path in "${!before[@]}"; do
    [ -n "${after[$path]:-}" ] && continue
    changed=1
    echo "This run removed $path"
  done
  [ $changed = 1 ] || echo "This run installed and removed nothing"
  [ -f "$step_log" ] && [ "$(tail -n 1 "$step_log" | tr -d '\r')" != Done ] && stopped=1
  if [ -n "$stopped" ] || { [ $changed = 0 ] && [ -z "$uninstall" ]; }; then
    if [ -f "$step_log" ]; then
      echo "The setup's step log $step_log ends with:"
      tail -n 8 "$step_log" | tr -d '\r' | sed 's/^/    /'
    else
      echo "The setup's step log $step_log was not written: the run did not get as far as installing"
    fi
  fi
}

echo "ZorvexSetup.exe runs on display $DISPLAY (take a look with: import -display $DISPLAY -window root shot.png)"
set +e
walked=0
if [ -n "$walk" ]; then
  wine "$BUILD_DIR/app/ZorvexSetup.exe" "${switches[@]+"${switches[@]}"}" >"$run_dir/setup.out" 2>&1 &
  setup=$!
  python3 "$root/scripts/walk.py" --shots "$run_dir/shots" -- "${switches[@]+"${switches[@]}"}" &
  walk_pid=$!
  wait $walk_pid
  walked=$?
  walk_pid=
  # A walk that lost its way leaves the window to nobody.
  [ $walked -eq 0 ] || wineserver -k
  wait $setup
  rc=$?
else
  wine "$BUILD_DIR/app/ZorvexSetup.exe" "${switches[@]+"${switches[@]}"}" &
  wait $!
  rc=$?
fi
set -e
echo "ZorvexSetup.exe ended with exit code $rc"
# A Ctrl-C while the programs it started live on still says what the run did.
trap 'echo; echo "Interrupted: every program of the prefix is ended"; report; exit 130' INT
if [ -n "$walk" ]; then
  # Nobody can close what a walk leaves open on a private display: what still runs after a while is ended.
  wine_env_wait_programs 30 || echo "Programs still ran in the prefix after the walk; they are ended"
else
  echo "Waiting for the programs it started to end (Ctrl-C ends them)"
  wine_env_wait_programs || true
fi

report
[ "$walked" -eq 0 ] || exit "$walked"
exit $rc
