#!/bin/sh
# Builds the 32- and 64-bit programs and writes the release artifacts to dist/:
#   Zentrik-VERSION-x86.zip, Zentrik-VERSION-x64.zip  (portable)
#   Zentrik-VERSION-setup.exe                          (per-user installer)
# The version comes from the build (project(VERSION) in CMakeLists.txt).
# The BDA bridge is packed too whenever its build produced it. The zips carry
# the current satellite list as satellite.ini; the installer, as a component.
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/install_deps.sh"
. "$root/scripts/builds.sh"
dist="$root/dist"
stage="$root/build/release-stage"
rm -rf "$stage" "$dist"
mkdir -p "$stage" "$dist"

# The manual's pictures, cut from the skin sheet: the window face, the labels
# of the large buttons and the faces of the small ones.
manual_pictures() {   # $1 = folder
  sheet="$root/resources/sheet/skin_sheet.png"
  mkdir -p "$1"
  convert "$sheet" -crop 350x200+0+0 +repage -strip "$1/window.png"
  convert \( "$sheet" -crop 296x112+350+0 +repage \) \( "$sheet" -crop 74x56+350+112 +repage \) \
    -background white -append -strip "$1/buttons.png"
  convert "$sheet" -crop 120x15+350+168 +repage -strip "$1/small-buttons.png"
}

for arch in x86 x64; do
  strip=$(cpu_of $arch)-w64-mingw32-strip
  build=$(build_of $arch)
  echo "== $arch build"
  targets="Zentrik ZentrikPhone ZentrikList ZentrikSimTuner"
  [ -f "$root/bdatuner/CMakeLists.txt" ] && targets="$targets ZentrikBdaTuner bdaprobe"
  build_windows $arch $targets
  . "$build/release.env"

  # The portable folder: the program, its papers and manual, the demo tuner.
  out="$stage/$arch"
  mkdir -p "$out/demo"
  $strip -o "$out/Zentrik.exe" "$build/Zentrik.exe"
  $strip -o "$out/ZentrikPhone.dll" "$build/ZentrikPhone.dll"
  $strip -o "$out/ZentrikList.dll" "$build/ZentrikList.dll"
  cp "$root/ReadMe.txt" "$out/ReadMe.txt"
  sed 's/$/\r/' "$root/LICENSE" > "$out/LICENSE.txt"
  cp -r "$root/manual/." "$out/"
  # The current satellite list: GPL data beside the MIT program, with its notice.
  cp "$root/satlist/satellite.ini" "$out/satellite.ini"
  cat "$root/satlist/notice.txt" "$root/satlist/LICENSE-GPL-3.0" | sed 's/$/\r/' > "$out/satellite-list-LICENSE.txt"
  manual_pictures "$out/pictures"
  $strip -o "$out/demo/ZentrikSimTuner.dll" "$build/simtuner/ZentrikSimTuner.dll"
  demo_script() {   # $1 = file name, $2 = what it does, $3 = regsvr32 switch
    sed -e "s/@ARCH@/$arch/g" -e "s/@DOES@/$2/" -e "s|@SWITCH@|$3|" \
      "$root/installer/demo-tuner.cmd.in" | sed 's/$/\r/' > "$out/demo/$1"
  }
  demo_script register-demo-tuner.cmd Registers ""
  demo_script unregister-demo-tuner.cmd Unregisters "/u "
  if [ -f "$build/bdatuner/ZentrikBdaTuner.dll" ]; then
    mkdir -p "$out/bridge"
    $strip -o "$out/bridge/ZentrikBdaTuner.dll" "$build/bdatuner/ZentrikBdaTuner.dll"
    $strip -o "$out/bridge/bdaprobe.exe" "$build/bdatuner/bdaprobe.exe"
  fi
  python3 "$root/scripts/make_zip.py" "$out" "$dist/Zentrik-$ZENTRIK_VERSION-$arch.zip"
done

echo "== installer"
bridge=""
[ -d "$stage/x64/bridge" ] && [ -d "$stage/x86/bridge" ] && bridge="-DBRIDGE"
makensis -V2 -DVERSION="$ZENTRIK_VERSION" -DSTAGE="$stage" -DSOURCE="$root" $bridge \
  -DOUTFILE="$dist/Zentrik-$ZENTRIK_VERSION-setup.exe" "$root/installer/zentrik.nsi"
ls -l "$dist"
