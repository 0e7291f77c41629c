#!/bin/sh
# The Wine prefix of the BDA tests: the test doubles stand in for Windows'
# BDA tuning model and a DVB-S card, and the BDA bridge answers the tuner
# filter's class id. It is kept apart from the main test prefixes, where the
# simulated tuner answers that class id. Each build (architecture) has its own,
# with the doubles and the bridge of that architecture.
#
# usage: bda_prefix.sh setup|teardown BUILD_DIR
set -u
build=$(cd "$2" && pwd)
. "$(dirname "$0")/../../scripts/wine_env.sh"
export WINEPREFIX="$build/wineprefix-bda" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
doubles="$build/tests/bda/ZentrikBdaDoubles.dll"
bridge="$build/bdatuner/ZentrikBdaTuner.dll"

case "$1" in
setup)
  prepare_prefix "$WINEPREFIX"
  # The prefix's services start with the first program and inherit its
  # output, so that program runs with all of it redirected.
  wine cmd /c exit </dev/null >/dev/null 2>&1 || true
  # Windows not left to a window manager: with none running, Wine would
  # wait two seconds for one at every hidden window's destruction.
  wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f </dev/null >/dev/null 2>&1 || true
  # The doubles register themselves machine-wide, as Windows' own classes are.
  wine "$(build_fact "$build" ZENTRIK_REGSVR32)" /s "$(winepath -w "$doubles" 2>/dev/null </dev/null)" </dev/null >/dev/null 2>&1 ||
    { echo "cannot register $doubles"; exit 1; }
  if [ -f "$bridge" ]; then
    register_com_server "$build" "$bridge" || { echo "cannot register $bridge"; exit 1; }
  fi
  echo "BDA prefix ready: $WINEPREFIX"
  ;;
teardown)
  wineserver -k </dev/null >/dev/null 2>&1 || true
  ;;
esac
exit 0
