# Sourced by the other scripts: a Wine prefix inside the build folder and an Xvfb display,
# both stopped again when the calling script exits.
# Usage: wine_env_start BUILD_DIR [use-existing-display]

wine_env_start() {
  local build_dir=$1 keep_display=${2:-}
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

  if [ ! -f "$WINEPREFIX/.zrx-ready" ]; then
    rm -rf "$WINEPREFIX"
    wine wineboot -i >/dev/null 2>&1
    wineserver -w
    # Without a window manager Wine waits two seconds at the end of each GUI process.
    wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1
    wineserver -w
    touch "$WINEPREFIX/.zrx-ready"
  fi
  wineserver -p >/dev/null 2>&1 </dev/null
  # Wine's background processes start with the first program and live as long as the server; start
  # them here so that they hold no pipe of a later caller (ctest would wait for them to close it).
  wine cmd.exe /c exit >/dev/null 2>&1 </dev/null
}

_wine_env_start_xvfb() {
  local n
  for n in $(seq 90 190); do
    [ -e "/tmp/.X$n-lock" ] || [ -e "/tmp/.X11-unix/X$n" ] && continue
    Xvfb ":$n" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
    _WINE_ENV_XVFB_PID=$!
    local i
    for i in $(seq 1 100); do
      if [ -e "/tmp/.X11-unix/X$n" ]; then
        export DISPLAY=":$n"
        return 0
      fi
      kill -0 "$_WINE_ENV_XVFB_PID" 2>/dev/null || break
      sleep 0.05
    done
    kill "$_WINE_ENV_XVFB_PID" 2>/dev/null
    _WINE_ENV_XVFB_PID=
  done
  echo "wine-env: no free X display" >&2
  return 1
}

wine_env_stop() {
  [ -n "${WINEPREFIX:-}" ] && wineserver -k >/dev/null 2>&1
  if [ -n "${_WINE_ENV_XVFB_PID:-}" ]; then
    kill "$_WINE_ENV_XVFB_PID" 2>/dev/null
    wait "$_WINE_ENV_XVFB_PID" 2>/dev/null
    _WINE_ENV_XVFB_PID=
  fi
  return 0
}
