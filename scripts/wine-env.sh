# Sourced by the other scripts: a Wine prefix inside the build folder and an Xvfb display,
# both stopped again when the calling script exits.
# Usage: wine_env_start BUILD_DIR [use-existing-display] [until-programs-end]
#   use-existing-display: DISPLAY when one is set, else a private Xvfb display
#   until-programs-end: no persistent Wine server: it ends with the last program (see wine_env_wait_programs)
#
# The prefix configuration is one for run.sh, the tests (the e2e harness calls wine_env_make_prefix too) and
# bench/, so that a test sees what a user sees:
# - Wine's own fonts (Tahoma with its Cyrillic letters, Marlett for the title bar's buttons, MS Sans Serif ...).
#   This Wine looks for them under a data folder path with ".." in it, which it cannot open: without the
#   explicit font path the title bars draw their buttons as the letters "0 1 r" and Tahoma is stood in for.
# - "Segoe UI", which no free font package has, is replaced by Wine's Tahoma, a sans serif of similar widths
#   that has the Cyrillic letters (tests/e2e/test_texts_fit.py measures every text in it).
# - No window manager: without "Managed"="N" Wine waits two seconds at the end of each GUI process.
# A prefix made under an older configuration is made anew: bump the version with every change.
WINE_ENV_PREFIX_CONFIG=2
WINE_ENV_SEGOE_UI="Tahoma"

wine_env_start() {
  local build_dir=$1 option keep_display= persistent=1
  shift
  for option in "$@"; do
    case $option in
    use-existing-display) keep_display=1 ;;
    until-programs-end) persistent= ;;
    esac
  done
  export WINEPREFIX="$build_dir/wineprefix"
  export WINEARCH=win64 WINEDEBUG=-all
  # No debugger: a crashing program then ends at once with an error instead of waiting in winedbg.
  export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d;winedbg.exe=d"
  export HOME="$build_dir/home"
  unset http_proxy https_proxy HTTP_PROXY HTTPS_PROXY no_proxy NO_PROXY all_proxy ALL_PROXY
  mkdir -p "$HOME"

  trap wine_env_stop EXIT
  if [ -z "$keep_display" ] || [ -z "${DISPLAY:-}" ]; then
    _wine_env_start_xvfb
  fi

  wine_env_make_prefix
  [ -n "$persistent" ] || return 0
  wineserver -p >/dev/null 2>&1 </dev/null
  # Wine's background processes start with the first program and live as long as the server; start
  # them here so that they hold no pipe of a later caller (ctest would wait for them to close it).
  wine cmd.exe /c exit >/dev/null 2>&1 </dev/null
}

# Waits until every program in the prefix has ended (at most TIMEOUT seconds when given; 1 when they still
# run then). Needs a server that is not persistent (wine_env_start ... until-programs-end).
# The wait is a background job waited for, so that a trap of the caller runs at once on a signal.
wine_env_wait_programs() {
  if [ -n "${1:-}" ]; then
    timeout "$1" wineserver -w &
  else
    wineserver -w &
  fi
  wait $!
}

# The folder of Wine's own fonts (Debian's fonts-wine).
_wine_env_font_dir() {
  local d
  for d in /usr/share/wine/fonts /usr/lib/wine/../../share/wine/fonts /usr/local/share/wine/fonts; do
    [ -f "$d/marlett.ttf" ] && { (cd "$d" && pwd -P); return 0; }
  done
  echo "wine-env: Wine's own fonts (marlett.ttf) are missing: install fonts-wine" >&2
  return 1
}

# Makes WINEPREFIX with the shared configuration unless it already has it.
wine_env_make_prefix() {
  local stamp="$WINEPREFIX/.zrx-prefix" fonts reg
  [ "$(cat "$stamp" 2>/dev/null)" = "$WINE_ENV_PREFIX_CONFIG" ] && return 0
  fonts=$(_wine_env_font_dir) || return 1
  rm -rf "$WINEPREFIX"
  wine wineboot -i >/dev/null 2>&1 </dev/null
  wineserver -w
  reg=$(mktemp "${TMPDIR:-/tmp}/zrx-prefix-XXXXXX.reg")
  # One .reg file: one start of Wine for all the values.
  printf '%s\r\n' 'REGEDIT4' '' \
    '[HKEY_CURRENT_USER\Software\Wine\X11 Driver]' '"Managed"="N"' '' \
    '[HKEY_CURRENT_USER\Software\Wine\Fonts]' "\"Path\"=\"Z:${fonts//\//\\\\}\"" '' \
    '[HKEY_CURRENT_USER\Software\Wine\Fonts\Replacements]' "\"Segoe UI\"=\"$WINE_ENV_SEGOE_UI\"" '' >"$reg"
  wine regedit /S "Z:${reg//\//\\}" >/dev/null 2>&1 </dev/null
  wineserver -w
  rm -f "$reg"
  echo "$WINE_ENV_PREFIX_CONFIG" >"$stamp"
}

_wine_env_start_xvfb() {
  local n
  for n in $(seq 90 190); do
    [ -e "/tmp/.X$n-lock" ] || [ -e "/tmp/.X11-unix/X$n" ] && continue
    # A session of its own: a Ctrl-C in the terminal reaches the caller, which ends the display last.
    setsid Xvfb ":$n" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
    _WINE_ENV_XVFB_PID=$!
    local i
    for i in $(seq 1 100); do
      # Ours when its lock names our server: another one may have taken the number since the check above.
      if [ -e "/tmp/.X11-unix/X$n" ] && [ "$(tr -d ' \n' <"/tmp/.X$n-lock" 2>/dev/null)" = "$_WINE_ENV_XVFB_PID" ]; then
        export DISPLAY=":$n"
        return 0
      fi
      kill -0 "$_WINE_ENV_XVFB_PID" 2>/dev/null || break
      sleep 0.05
    done
    kill "$_WINE_ENV_XVFB_PID" 2>/dev/null || true
    _WINE_ENV_XVFB_PID=
  done
  echo "wine-env: no free X display" >&2
  return 1
}

# Safe to call twice and under "set -e": a Wine server that has ended already makes "wineserver -k" fail, and a
# failing command here would end the caller's exit trap before the display is stopped.
wine_env_stop() {
  if [ -n "${WINEPREFIX:-}" ]; then
    wineserver -k >/dev/null 2>&1 || true
    # Gone when this returns: a caller that looks for the server right after finds none.
    timeout 30 wineserver -w >/dev/null 2>&1 || true
  fi
  if [ -n "${_WINE_ENV_XVFB_PID:-}" ]; then
    kill "$_WINE_ENV_XVFB_PID" 2>/dev/null || true
    wait "$_WINE_ENV_XVFB_PID" 2>/dev/null || true
    _WINE_ENV_XVFB_PID=
  fi
  return 0
}
