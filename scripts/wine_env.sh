# Sourced by the run, bench and test scripts: private Wine prefixes and, when
# asked or when there is no display, virtual X displays. Cleanup stops exactly
# the X servers and wineservers started here.
STARTED_XVFB=""
STARTED_PREFIXES=""
ZENTRIK_RUN_START=${ZENTRIK_RUN_START:-$(date +%s)}
export ZENTRIK_RUN_START

# A step's heading, with the seconds since the run began.
phase() {
  echo "== $* ($(($(date +%s) - ZENTRIK_RUN_START)) s)"
}

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

# The Wine a prefix is made by: its version, and whether the 32-bit half was
# installed beside the 64-bit one. A prefix that wine64 made alone cannot start
# a 32-bit program once wine32 is there ("could not load kernel32.dll").
wine_flavour() {
  halves=64-bit
  [ -x /usr/lib/wine/wine ] && halves=multiarch
  version=$(dpkg-query -W -f='${Version}' wine64 2>/dev/null) || version=$(wine --version 2>/dev/null </dev/null)
  echo "wine $version $halves"
}

# Creates the prefix if needed, made again when another Wine made it, and
# keeps one wineserver for the whole run. The stamp names the Wine that made it.
prepare_prefix() {   # $1 = prefix folder; WINEPREFIX and DISPLAY already set
  stamp="$1/zentrik-prefix-made-by"
  if [ -f "$1/system.reg" ] && [ "$(cat "$stamp" 2>/dev/null)" != "$(wine_flavour)" ]; then
    echo "Wine prefix $1 was made by another Wine ($(cat "$stamp" 2>/dev/null || echo unknown)): making it again"
    rm -rf "$1"
  fi
  mkdir -p "$1"
  if [ ! -f "$1/system.reg" ]; then
    wineboot -i </dev/null >/dev/null 2>&1 || true
    wine_flavour > "$stamp"
  fi
  # Detached from the caller's output: ctest waits for every holder of its pipe.
  wineserver -p 60 </dev/null >/dev/null 2>&1 || true
  # A new prefix has no .txt association, so the read-me would open nowhere;
  # on Windows text files open in Notepad.
  wine reg add 'HKCR\.txt' /ve /d txtfile /f </dev/null >/dev/null 2>&1 || true
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

# Test lanes: each has its own virtual display and prefix, so tests that move
# the pointer or take the focus can run side by side. The lanes of one build
# (one architecture) have the ids first..first+count-1 and prefixes under the
# build; their ctest resource file is BUILD/lanes.json. Exports
# ZENTRIK_LANE<id>_DISPLAY and _PREFIX, which tests/windows/in_lane.sh reads.
wine_lanes_start() {   # $1 = build folder, $2 = lane count, $3 = first lane id
  export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
  ids=""
  boots=""
  i=0
  while [ $i -lt "$2" ]; do
    id=$(($3 + i))
    prefix="$1/wineprefix-lane$i"
    start_virtual_display
    export "ZENTRIK_LANE${id}_DISPLAY=$VIRTUAL_DISPLAY" "ZENTRIK_LANE${id}_PREFIX=$prefix"
    STARTED_PREFIXES="$STARTED_PREFIXES $prefix"
    # New prefixes are booted side by side.
    # Windows not left to a window manager: with none running, Wine would
    # wait two seconds for one at every hidden window's destruction.
    (export WINEPREFIX="$prefix" DISPLAY="$VIRTUAL_DISPLAY"
     prepare_prefix "$prefix"; register_com_server "$1" "$1/tests/simtuner/ZentrikScriptedTuner.dll"
     wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f </dev/null >/dev/null 2>&1) &
    boots="$boots $!"
    ids="$ids${ids:+,}{\"id\":\"$id\",\"slots\":1}"
    i=$((i + 1))
  done
  for boot in $boots; do wait "$boot"; done
  printf '{"version":{"major":1,"minor":0},"local":[{"lanes":[%s]}]}\n' "$ids" > "$1/lanes.json"
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

# What the build says of itself (release.env): ZENTRIK_ARCH, ZENTRIK_REGSVR32...
build_fact() {   # $1 = build folder, $2 = name
  sed -n "s/^$2=//p" "$1/release.env" | tr -d "'"
}

# Registers (or with "/u" unregisters) a tuner DLL of the build for the
# current user of the prefix, then lets Wine see the per-user class (see
# tests/wine/class_mirror.h). The build's prefix_tool.exe has the DLL's
# architecture, so it writes the registry view the DLL was registered in.
register_com_server() {   # $1 = build folder, $2 = DLL, $3 = "/u" to unregister
  [ -f "$2" ] || return 1
  wine "$(build_fact "$1" ZENTRIK_REGSVR32)" /s ${3:-} "$(winepath -w "$2" 2>/dev/null </dev/null)" </dev/null >/dev/null 2>&1 &&
    wine "$1/tests/windows/prefix_tool.exe" mirror </dev/null >/dev/null 2>&1
}

# Whether this machine runs the build's programs: the kernel and the installed
# Wine must run 32-bit ones for an x86 build. Asked of a console program of the
# build itself.
runs_programs_of() {   # $1 = build folder
  answer="$WINEPREFIX/zentrik-architecture"
  wine "$1/tests/windows/prefix_tool.exe" arch </dev/null >"$answer" 2>/dev/null
  [ "$(tr -d '\r' <"$answer")" = "$(build_fact "$1" ZENTRIK_ARCH)" ]
}
