#!/bin/sh
# Installs the Debian 12 packages the build and the tests need, if missing.
set -e
packages="cmake g++ clang libclang-rt-14-dev lld python3 espeak-ng sox libsox-fmt-all zlib1g-dev xz-utils googletest libgtest-dev g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-posix nsis wine wine64 xvfb xdotool imagemagick"
missing=""
for p in $packages; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing="$missing $p"
done
[ -z "$missing" ] && exit 0
echo "Installing:$missing"
SUDO=""; [ "$(id -u)" -ne 0 ] && SUDO=sudo
$SUDO apt-get update -qq
DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends $missing >/dev/null
