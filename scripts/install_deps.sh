#!/bin/sh
# Installs the Debian 12 packages the build and the tests need, if missing, and
# fetches what the build takes from Debian's source packages and the phone
# display's browser tests from npm.
# Wine is multiarch: the 32-bit half (wine32, from the i386 architecture) beside
# the 64-bit one, so that one 64-bit prefix runs the x86 and the x64 programs.
# The fonts are installed on purpose: the program's fonts name no face, so the
# installed fonts decide the face every text is drawn in (Liberation Sans, with
# Arial's metrics, as on Windows).
set -e
root=$(cd "$(dirname "$0")/.." && pwd)
packages="cmake g++ clang libclang-rt-14-dev lld python3 espeak-ng sox libsox-fmt-all zlib1g-dev xz-utils googletest libgtest-dev g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-posix nsis wine wine64 xvfb xdotool imagemagick fonts-liberation dpkg-dev chromium nodejs npm"
wine32="wine32:i386"
SUDO=""; [ "$(id -u)" -ne 0 ] && SUDO=sudo

installed() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q "install ok installed"; }

missing=""
for p in $packages; do
  installed "$p" || missing="$missing $p"
done
installed "$wine32" || missing="$missing $wine32"
# A Node.js from another archive brings npm along without Debian's packages.
command -v node >/dev/null && missing=$(echo "$missing" | sed 's/ nodejs//')
command -v npm >/dev/null && missing=$(echo "$missing" | sed 's/ npm//')
if [ -n "$missing" ]; then
  echo "Installing:$missing"
  if ! dpkg --print-foreign-architectures | grep -qx i386; then
    $SUDO dpkg --add-architecture i386
  fi
  $SUDO apt-get update -qq
  if ! DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends $missing >/dev/null; then
    # Without the 32-bit half everything but the x86 runtime suites still works;
    # those say so and are skipped.
    missing=$(echo "$missing" | sed "s/ $wine32//")
    echo "Installing without $wine32, which this machine cannot take"
    DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends $missing >/dev/null
  fi
fi

# The browser tests' driver for Debian's chromium (no browser download), as
# the committed lock file has it.
phone_tests="$root/tests/phone"
if [ ! -d "$phone_tests/node_modules" ] || [ "$phone_tests/package-lock.json" -nt "$phone_tests/node_modules" ]; then
  (cd "$phone_tests" && npm ci --no-audit --no-fund --loglevel=error >/dev/null && touch node_modules)
fi

# cpp-httplib's single header for the phone display. Debian's libcpp-httplib-dev
# splits it into declarations and a Linux library, which cannot link for
# Windows; its source package has upstream's header, with Debian's fixes.
httplib="$root/build/third_party/cpp-httplib"
[ -f "$httplib/httplib.h" ] && exit 0
if ! grep -rqsE '^(deb-src |Types:.*deb-src)' /etc/apt/sources.list /etc/apt/sources.list.d/; then
  # Source entries for the archive the machine already uses.
  for list in /etc/apt/sources.list.d/*.sources; do
    [ -f "$list" ] && grep -q '^URIs:.*debian' "$list" &&
      sed 's/^Types: deb$/Types: deb-src/' "$list" | $SUDO tee /etc/apt/sources.list.d/zentrik-deb-src.sources >/dev/null && break
  done
  [ -f /etc/apt/sources.list ] && sed -n 's/^deb \(.*debian.*\)/deb-src \1/p' /etc/apt/sources.list |
    $SUDO tee /etc/apt/sources.list.d/zentrik-deb-src.list >/dev/null
  $SUDO apt-get update -qq
fi
unpack=$(mktemp -d)
(cd "$unpack" && apt-get source -qq cpp-httplib >/dev/null 2>&1)
header=$(ls "$unpack"/cpp-httplib-*/httplib.h 2>/dev/null | head -n 1)
[ -n "$header" ] || { echo "apt-get source cpp-httplib gave no httplib.h"; rm -rf "$unpack"; exit 1; }
mkdir -p "$httplib"
cp "$header" "$unpack"/cpp-httplib-*/LICENSE "$httplib/"
rm -rf "$unpack"
