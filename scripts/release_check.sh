#!/bin/sh
# Makes the release artifacts and checks them: both architectures statically,
# then, for each architecture this machine runs, the installer and the zip as a
# user would use them, each in a fresh Wine prefix on a virtual display of its
# own, side by side. Before that, clang builds the program as a second opinion
# on the code. scripts/test.sh runs it last, with its two test builds.
#
# usage: release_check.sh [ARCH...]   (the architectures to install)
set -u
root=$(cd "$(dirname "$0")/.." && pwd)
. "$root/scripts/wine_env.sh"
. "$root/scripts/builds.sh"
status=0
phase "clang build"
"$root/scripts/clang_check.sh" || status=1
"$root/scripts/release.sh" >/dev/null || { echo "release build failed"; exit 1; }
. "$(build_of x64)/release.env"
phase "release artifacts, static checks"
python3 "$root/tests/release/check_binaries.py" "$root/dist" "$ZENTRIK_VERSION" || status=1

trap 'wine_env_stop' EXIT INT TERM
phase "release artifacts, installed under Wine:" "$@"
for arch in "$@"; do
  out="$root/build/release-test/$arch"
  rm -rf "$out"
  mkdir -p "$out"
  build=$(build_of $arch)
  start_virtual_display
  (export WINEPREFIX="$out/wineprefix" DISPLAY=$VIRTUAL_DISPLAY WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
   prepare_prefix "$WINEPREFIX"
   python3 "$root/tests/release/install_test.py" "$root/dist" "$ZENTRIK_VERSION" "$arch" "$build" \
     > "$out/install.log" 2>&1) &
  STARTED_PREFIXES="$STARTED_PREFIXES $out/wineprefix"
  eval "install_$arch=\$!"
done
for arch in "$@"; do
  eval "wait \$install_$arch" || status=1
  echo "-- $arch release installed"
  cat "$root/build/release-test/$arch/install.log"
  # A prefix is over a gigabyte; the log and the screenshots stay.
  WINEPREFIX="$root/build/release-test/$arch/wineprefix" wineserver -k 2>/dev/null
  rm -rf "$root/build/release-test/$arch/wineprefix"
done
exit $status
