# Sourced by the scripts: a display for wine's message boxes and a ready
# prefix in the given build tree. Starts Xvfb when no display is set (and
# remembers to stop it), then the wineserver, in that order: a wineserver
# started without a display would never show a box.
#   source scripts/wine-env.sh BUILD_DIR
zentrow_wine_up() {
  local build="$1"
  export WINEPREFIX="$build/wineprefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
  # A 32-bit tree gets a 32-bit prefix, a 64-bit tree a 64-bit one.
  export WINEARCH=win32
  grep -q '^ZENTROW_WINDOWS:.*=win64' "$build/CMakeCache.txt" 2>/dev/null && WINEARCH=win64
  if [ -z "${DISPLAY:-}" ]; then
    local n=90
    while [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ]; do n=$((n + 1)); done
    Xvfb ":$n" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
    ZENTROW_XVFB_PID=$!
    export DISPLAY=":$n"
    for _ in $(seq 50); do [ -e "/tmp/.X11-unix/X$n" ] && break; sleep 0.1; done
  fi
  if [ ! -f "$WINEPREFIX/.zentrow-ready" ]; then
    wineboot -i >/dev/null 2>&1 || true
    wineserver -w
    # Without a window manager wine waits 2 s for each box to go; unmanaged
    # windows close at once.
    wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f >/dev/null 2>&1
    wineserver -w
    touch "$WINEPREFIX/.zentrow-ready"
  fi
  wineserver -p >/dev/null 2>&1 || true
  # Start wine's services now, with nothing of ours as their output: services
  # started by a test would hold its output pipe open for as long as the
  # persistent server lives, and ctest would wait for them.
  wine cmd /c exit </dev/null >/dev/null 2>&1 || true
}

zentrow_wine_down() {
  wineserver -k >/dev/null 2>&1 || true
  if [ -n "${ZENTROW_XVFB_PID:-}" ]; then
    kill "$ZENTROW_XVFB_PID" 2>/dev/null || true
    unset ZENTROW_XVFB_PID DISPLAY
  fi
}
