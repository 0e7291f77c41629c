#!/bin/sh
# Makes the release artifacts and checks them: both architectures statically,
# then the installer and the x64 zip as a user would use them, in a fresh Wine
# prefix on a virtual display. Before that, clang builds the program as a
# second opinion on the code, and the Windows test program is built for x86.
# scripts/test.sh runs it last.
set -u
root=$(cd "$(dirname "$0")/.." && pwd)
. "$root/scripts/wine_env.sh"
status=0
echo "== clang build"
"$root/scripts/clang_check.sh" || status=1
# 32-bit programs cannot run here, but the Windows test program must still
# compile for x86 (thread routines need WINAPI, for one).
echo "== x86 test program build"
cmake -S "$root" -B "$root/build/x86-tests" -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-i686.cmake" >/dev/null &&
  cmake --build "$root/build/x86-tests" -j2 --target windows_tests >/dev/null || { echo "x86 test program failed to build"; status=1; }
"$root/scripts/release.sh" >/dev/null || { echo "release build failed"; exit 1; }
. "$root/build/release-x64/release.env"
echo "== release artifacts, static checks"
python3 "$root/tests/release/check_binaries.py" "$root/dist" "$ZENTRIK_VERSION" || status=1
echo "== release artifacts, installed under Wine"
prefix="$root/build/release-test/wineprefix"
rm -rf "$prefix"
wine_env_start "$prefix" virtual
trap 'wine_env_stop' EXIT INT TERM
python3 "$root/tests/release/install_test.py" "$root/dist" "$ZENTRIK_VERSION" || status=1
exit $status
