#!/bin/sh
# Installs the Debian 12 packages the build and the tests need, if missing.
# Wine is multiarch: the 32-bit half (wine32, from the i386 architecture) beside
# the 64-bit one, so that one 64-bit prefix runs the x86 and the x64 programs.
# The fonts are installed on purpose: the program's fonts name no face, so the
# installed fonts decide the face every text is drawn in (Liberation Sans, with
# Arial's metrics, as on Windows).
set -e
packages="cmake g++ clang libclang-rt-14-dev lld python3 espeak-ng sox libsox-fmt-all zlib1g-dev xz-utils googletest libgtest-dev g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-posix nsis wine wine64 xvfb xdotool imagemagick fonts-liberation"
wine32="wine32:i386"

installed() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q "install ok installed"; }

missing=""
for p in $packages; do
  installed "$p" || missing="$missing $p"
done
installed "$wine32" || missing="$missing $wine32"
[ -z "$missing" ] && exit 0
echo "Installing:$missing"
SUDO=""; [ "$(id -u)" -ne 0 ] && SUDO=sudo
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
