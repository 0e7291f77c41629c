#!/bin/sh
# A Wine prefix made by another Wine (a wine64-only one before wine32 was
# installed, say) is made again before use, and the build's programs then run
# in it; a prefix made by this Wine is kept.
#
# usage: stale_prefix_test.sh BUILD_DIR   (DISPLAY set)
set -u
build=$(cd "$1" && pwd)
. "$(dirname "$0")/../../scripts/wine_env.sh"
export WINEPREFIX="$build/wineprefix-stale-test" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
failed=0
check() {   # $1 = 0 when it holds, $2 = what
  if [ "$1" -eq 0 ]; then echo "ok   $2"; else echo "FAIL $2"; failed=1; fi
}

rm -rf "$WINEPREFIX"
mkdir -p "$WINEPREFIX"
# What an old prefix looks like from outside: a registry, another Wine's stamp
# (or none), and whatever it held.
echo "WINE REGISTRY Version 2" > "$WINEPREFIX/system.reg"
echo "wine 7.0~repack-10 64-bit" > "$WINEPREFIX/zentrik-prefix-made-by"
touch "$WINEPREFIX/left-by-the-old-wine"
out=$(prepare_prefix "$WINEPREFIX")
check $? "the old prefix is prepared"
echo "$out" | grep -q "made by another Wine (wine 7.0~repack-10 64-bit): making it again"; check $? "and said to be made again"
[ ! -e "$WINEPREFIX/left-by-the-old-wine" ]; check $? "nothing of the old prefix is left"
[ "$(cat "$WINEPREFIX/zentrik-prefix-made-by")" = "$(wine_flavour)" ]; check $? "the new one names this Wine: $(wine_flavour)"
runs_programs_of "$build"; check $? "a $(build_fact "$build" ZENTRIK_ARCH) program of the build runs in it"

touch "$WINEPREFIX/kept"
out=$(prepare_prefix "$WINEPREFIX")
[ -e "$WINEPREFIX/kept" ] && [ -z "$out" ]; check $? "a prefix made by this Wine is kept as it is"
wineserver -k 2>/dev/null
rm -rf "$WINEPREFIX"
exit $failed
