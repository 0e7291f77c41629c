#!/bin/sh
# Builds and runs the benchmarks; prints figures only (nothing here passes or
# fails on a time).
set -u
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/install_deps.sh" || exit 1
. "$root/scripts/wine_env.sh"
. "$root/scripts/builds.sh"

echo "== Packer against zlib -9 and xz -9, on the skin sheet"
c++ -std=c++17 -O2 -I"$root" -o "$root/build/packer_bench" "$root/tests/bench/packer_bench.cpp" \
  "$root/tools/packer/pack_stream.cpp" "$root/skin/packed_image.cpp" -lz &&
  "$root/build/packer_bench" "$root/resources/sheet/skin_sheet.payload"

echo "== The broadcast identity reader: throughput on one core"
long="$root/build/identity_long.ts"
c++ -std=c++17 -O2 -I"$root" -o "$root/build/identity_bench" "$root/tests/bench/identity_bench.cpp" \
  "$root/identity/ts_sections.cpp" "$root/identity/dvb_text.cpp" "$root/identity/broadcast_identity.cpp" \
  "$root/bdatuner/identity_report.cpp" "$root/common/orbital_position.cpp" "$root/common/utf8.cpp" &&
  "$root/build/identity_bench" 200 "$long"

echo "== The bridge's stream tap: a transponder's stream through the identity reader"
c++ -std=c++17 -O2 -I"$root" -o "$root/build/stream_tap_bench" "$root/tests/bench/stream_tap_bench.cpp" \
  "$root/identity/broadcast_identity.cpp" "$root/identity/ts_sections.cpp" \
  "$root/identity/dvb_text.cpp" "$root/common/orbital_position.cpp" "$root/common/utf8.cpp" &&
  "$root/build/stream_tap_bench" "$root/tests/data/broadcast/hotbird13e-mediaset.ts"

echo "== The satellite list maker: the XML reader and the list, on one core"
c++ -std=c++17 -O2 -I"$root" -o "$root/build/satellite_list_bench" "$root/tests/bench/satellite_list_bench.cpp" \
  "$root"/listmaker/*.cpp "$root/common/utf8.cpp" "$root/common/orbital_position.cpp" &&
  "$root/build/satellite_list_bench" "$(ls "$root"/satlist/satellites-*.xml | tail -n 1)" \
    "$root/resources/satellite_default.ini"

echo "== The running program under Wine"
build=$(build_of x64)
build_windows x64 || exit 1
wine_env_start "$build/wineprefix" virtual
trap 'wine_env_stop' EXIT INT TERM
register_com_server "$build" "$build/tests/simtuner/ZentrikScriptedTuner.dll"
cd "$build/tests/windows" || exit 1
wine windows_bench.exe 2>/dev/null
wine windows_bench.exe click 2>/dev/null
python3 "$root/tests/bench/startup_bench.py" "$build"
# bdaprobe --identify on the long recording, Wine's start included.
if [ -f "$long" ]; then
  python3 -c 'import subprocess, sys, time
start = time.time()
result = subprocess.run(["wine", sys.argv[1], "--identify", sys.argv[2]], capture_output=True)
seconds = time.time() - start
print("bdaprobe --identify (x64, under Wine, its start included): %.2f s for %s MB, said %r, exit code %d"
      % (seconds, sys.argv[3], result.stdout.split(b"\n")[0].decode(), result.returncode))' \
    "$build/bdatuner/bdaprobe.exe" "$(winepath -w "$long")" $(($(stat -c %s "$long") / 1000000))
  rm -f "$long"
fi

echo "== The phone display: poll to page, CPU with event streams, sizes"
(cd "$root/tests/phone" && node phone_bench.js "$build")
# The x86 program too, when its test build is there (scripts/test.sh makes it).
x86=$(build_of x86)
if [ -f "$x86/ZentrikPhone.dll" ] && register_com_server "$x86" "$x86/tests/simtuner/ZentrikScriptedTuner.dll"; then
  (cd "$root/tests/phone" && node phone_bench.js "$x86")
fi

echo "== Measuring through the BDA bridge against the BDA doubles"
python3 "$root/tests/bench/bda_bench.py" "$build" sim
sh "$root/tests/bda/bda_prefix.sh" setup "$build" >/dev/null &&
  WINEPREFIX="$build/wineprefix-bda" python3 "$root/tests/bench/bda_bench.py" "$build"
# ZENTRIK_BENCH_BRIDGE_BEFORE: an x64 ZentrikBdaTuner.dll built from an earlier
# commit, measured the same way for comparison; the build's own is registered
# again afterwards.
before=${ZENTRIK_BENCH_BRIDGE_BEFORE:-}
if [ -n "$before" ] && [ -f "$before" ]; then
  echo "-- the same with the bridge $before"
  WINEPREFIX="$build/wineprefix-bda" register_com_server "$build" "$before" &&
    WINEPREFIX="$build/wineprefix-bda" python3 "$root/tests/bench/bda_bench.py" "$build"
  WINEPREFIX="$build/wineprefix-bda" register_com_server "$build" "$build/bdatuner/ZentrikBdaTuner.dll"
fi
sh "$root/tests/bda/bda_prefix.sh" teardown "$build"
