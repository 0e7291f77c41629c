#!/bin/sh
# The Wine prefix of the BDA tests: the test doubles stand in for Windows'
# BDA tuning model and a DVB-S card, and the BDA bridge answers the tuner
# filter's class id. It is kept apart from the main test prefix, where the
# simulated tuner answers that class id.
#
# usage: bda_prefix.sh setup|teardown BUILD_DIR
set -u
build=$(cd "$2" && pwd)
export WINEPREFIX="$build/wineprefix-bda" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
doubles="$build/tests/bda/ZentrikBdaDoubles.dll"
bridge="$build/bdatuner/ZentrikBdaTuner.dll"

register() {   # $1 = DLL
  wine regsvr32 /s "$(winepath -w "$1" 2>/dev/null </dev/null)" </dev/null >/dev/null 2>&1 || { echo "cannot register $1"; exit 1; }
}

case "$1" in
setup)
  mkdir -p "$WINEPREFIX"
  [ -f "$WINEPREFIX/system.reg" ] || wineboot -i </dev/null >/dev/null 2>&1 || true
  # Detached from the test's output: ctest waits for every holder of its pipe.
  # The prefix's services start with the first program and inherit its
  # output, so that program runs with all of it redirected.
  wineserver -p 60 </dev/null >/dev/null 2>&1 || true
  wine cmd /c exit </dev/null >/dev/null 2>&1 || true
  # Windows not left to a window manager: with none running, Wine would
  # wait two seconds for one at every hidden window's destruction.
  wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f </dev/null >/dev/null 2>&1 || true
  register "$doubles"
  [ -f "$bridge" ] && register "$bridge"
  echo "BDA prefix ready: $WINEPREFIX"
  ;;
teardown)
  wineserver -k </dev/null >/dev/null 2>&1 || true
  ;;
esac
exit 0
