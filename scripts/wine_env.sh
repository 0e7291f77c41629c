# Sourced by the run, bench and test scripts: private Wine prefixes and, when
# asked or when there is no display, virtual X displays. Cleanup stops exactly
# the X servers and wineservers started here.
STARTED_XVFB=""
STARTED_PREFIXES=""

# Starts Xvfb on the first free display number; sets VIRTUAL_DISPLAY. Another
# user may take a number between the look and the start, so a server that
# dies at once is retried on the next number.
start_virtual_display() {
  n=90
  while :; do
    while [ -e /tmp/.X$n-lock ] || [ -e /tmp/.X11-unix/X$n ]; do n=$((n + 1)); done
    Xvfb :$n -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
    xvfb=$!
    for _ in $(seq 50); do
      [ -e /tmp/.X11-unix/X$n ] && kill -0 $xvfb 2>/dev/null && break
      kill -0 $xvfb 2>/dev/null || break
      sleep 0.1
    done
    if kill -0 $xvfb 2>/dev/null; then
      STARTED_XVFB="$STARTED_XVFB $xvfb"
      VIRTUAL_DISPLAY=:$n
      return 0
    fi
    n=$((n + 1))
  done
}

# Creates the prefix if needed and keeps one wineserver for the whole run.
prepare_prefix() {   # $1 = prefix folder; WINEPREFIX and DISPLAY already set
  mkdir -p "$1"
  [ -f "$1/system.reg" ] || wineboot -i >/dev/null 2>&1 || true
  wineserver -p 60 2>/dev/null || true
  # A new prefix has no .txt association, so the read-me would open nowhere;
  # on Windows text files open in Notepad.
  wine reg add 'HKCR\.txt' /ve /d txtfile /f >/dev/null 2>&1 || true
}

wine_env_start() {   # $1 = prefix folder, $2 = "virtual" to force a virtual display
  export WINEPREFIX="$1" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
  if [ -z "${DISPLAY:-}" ] || [ "${2:-}" = virtual ]; then
    start_virtual_display
    export DISPLAY=$VIRTUAL_DISPLAY
  fi
  STARTED_PREFIXES="$STARTED_PREFIXES $1"
  prepare_prefix "$1"
}

# Test lanes: each has its own virtual display and prefix (the first lane
# uses the given prefix, the others a sibling of it), so tests that move the
# pointer or take the focus can run side by side. Writes the ctest resource
# file LANES_FILE and exports ZENTRIK_LANE<i>_DISPLAY and _PREFIX, which
# tests/windows/in_lane.sh reads; DISPLAY and WINEPREFIX are lane 0's.
wine_lanes_start() {   # $1 = first prefix, $2 = lane count, $3 = simulated tuner DLL
  export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
  LANES_FILE="$1.lanes.json"
  ids=""
  boots=""
  i=0
  while [ $i -lt "$2" ]; do
    prefix=$1; [ $i -gt 0 ] && prefix="$1-lane$i"
    start_virtual_display
    export "ZENTRIK_LANE${i}_DISPLAY=$VIRTUAL_DISPLAY" "ZENTRIK_LANE${i}_PREFIX=$prefix"
    STARTED_PREFIXES="$STARTED_PREFIXES $prefix"
    # New prefixes are booted side by side.
    # Windows not left to a window manager: with none running, Wine would
    # wait two seconds for one at every hidden window's destruction.
    (export WINEPREFIX="$prefix" DISPLAY="$VIRTUAL_DISPLAY"
     prepare_prefix "$prefix"; register_sim_tuner "$3"
     wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1) &
    boots="$boots $!"
    ids="$ids${ids:+,}{\"id\":\"$i\",\"slots\":1}"
    i=$((i + 1))
  done
  for boot in $boots; do wait "$boot"; done
  printf '{"version":{"major":1,"minor":0},"local":[{"lanes":[%s]}]}\n' "$ids" > "$LANES_FILE"
  export DISPLAY="$ZENTRIK_LANE0_DISPLAY" WINEPREFIX="$1"
}

wine_env_stop() {
  for prefix in $STARTED_PREFIXES; do
    WINEPREFIX="$prefix" wineserver -k 2>/dev/null || true
  done
  for xvfb in $STARTED_XVFB; do
    kill "$xvfb" 2>/dev/null && wait "$xvfb" 2>/dev/null
  done
  return 0
}

# Registers the simulated tuner for the current user of the prefix.
register_sim_tuner() {   # $1 = path of ZentrikSimTuner.dll
  [ -f "$1" ] && wine regsvr32 /s "$(winepath -w "$1" 2>/dev/null)" >/dev/null 2>&1 || true
}
