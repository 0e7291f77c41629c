#!/bin/sh
# Builds the x64 program and the simulated tuner with clang and lld instead of
# gcc, as a second opinion on the code: any compiler warning fails the check.
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
build="$root/build/clang"
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF \
  -DCMAKE_TOOLCHAIN_FILE="$root/cmake/clang-mingw-w64-x86_64.cmake" >/dev/null
log="$build/build.log"
cmake --build "$build" -j2 --target Zentrik ZentrikSimTuner >"$log" 2>&1 || { cat "$log"; exit 1; }
warnings=$(grep -c 'warning:' "$log" || true)
grep 'warning:' "$log" || true
echo "clang build: $(ls -l "$build/Zentrik.exe" | awk '{print $5}') bytes, $warnings warnings"
[ "$warnings" -eq 0 ]
