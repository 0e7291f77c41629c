# Sourced by the run and test scripts: a private Wine prefix and, when asked
# or when there is no display, a virtual X display. Cleanup stops exactly the
# X server and wineserver started here.
wine_env_start() {   # $1 = prefix folder, $2 = "virtual" to force a virtual display
  export WINEPREFIX="$1" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
  STARTED_XVFB=""
  if [ -z "${DISPLAY:-}" ] || [ "${2:-}" = virtual ]; then
    n=90
    while [ -e /tmp/.X$n-lock ] || [ -e /tmp/.X11-unix/X$n ]; do n=$((n + 1)); done
    Xvfb :$n -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
    STARTED_XVFB=$!
    export DISPLAY=:$n
    for _ in $(seq 50); do [ -e /tmp/.X11-unix/X$n ] && break; sleep 0.1; done
  fi
  mkdir -p "$WINEPREFIX"
  [ -f "$WINEPREFIX/system.reg" ] || wineboot -i >/dev/null 2>&1 || true
  wineserver -p 60 2>/dev/null || true   # keep one wineserver for the whole run
  # A new prefix has no .txt association, so the read-me would open nowhere;
  # on Windows text files open in Notepad.
  wine reg add 'HKCR\.txt' /ve /d txtfile /f >/dev/null 2>&1 || true
}

wine_env_stop() {
  WINEPREFIX="$WINEPREFIX" wineserver -k 2>/dev/null || true
  [ -n "${STARTED_XVFB:-}" ] && kill "$STARTED_XVFB" 2>/dev/null && wait "$STARTED_XVFB" 2>/dev/null
  return 0
}

# Registers the simulated tuner for the current user of the prefix.
register_sim_tuner() {   # $1 = path of ZentrikSimTuner.dll
  [ -f "$1" ] && wine regsvr32 /s "$(winepath -w "$1" 2>/dev/null)" >/dev/null 2>&1 || true
}
