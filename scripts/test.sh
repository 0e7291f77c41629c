#!/bin/sh
# Installs what is missing, builds everything and runs every test: the native
# byte-level tests under the sanitizers; the Windows suites of both
# architectures through Wine, each against its own build and its own tuner
# DLLs, side by side in lanes of their own; the release artifacts, checked
# statically and installed as a user would. Ends with one summary line per
# architecture.
set -u
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/install_deps.sh" || exit 1
. "$root/scripts/wine_env.sh"
. "$root/scripts/builds.sh"

status=0
phase "native build and tests"
cmake -S "$root" -B "$root/build/native" -DCMAKE_BUILD_TYPE=Debug >/dev/null &&
  cmake --build "$root/build/native" -j2 >/dev/null || { echo "native build failed"; exit 1; }
ctest --test-dir "$root/build/native" --output-on-failure -j2 || status=1

# Each architecture's first lane id (two lanes each).
first_lane_of() { case $1 in x64) echo 0 ;; x86) echo 2 ;; esac; }

for arch in $ARCHES; do
  phase "Windows build, $arch"
  build_windows $arch || { echo "Windows build ($arch) failed"; exit 1; }
done

trap 'wine_env_stop' EXIT INT TERM
phase "Windows test prefixes"
runnable=""
for arch in $ARCHES; do
  build=$(build_of $arch)
  wine_lanes_start "$build" 2 "$(first_lane_of $arch)"
  WINEPREFIX="$build/wineprefix-lane0" runs_programs_of "$build" && runnable="$runnable $arch"
done

# ctest's own summary line: "97% tests passed, 3 tests failed out of 116".
counts_of() {   # $1 = ctest output; prints "passed failed"
  sed -n 's/.*tests passed, \([0-9]*\) tests\{0,1\} failed out of \([0-9]*\).*/\1 \2/p' "$1" |
    tail -n 1 | { read -r failed total && echo "$((total - failed)) $failed" || echo "0 1"; }
}

phase "Windows suites under Wine:$runnable, side by side"
for arch in $runnable; do
  build=$(build_of $arch)
  ctest --test-dir "$build" --output-on-failure --timeout 120 -j2 \
    --resource-spec-file "$build/lanes.json" > "$build/suite.log" 2>&1 &
  eval "suite_$arch=\$!"
done
for arch in $runnable; do
  build=$(build_of $arch)
  eval "wait \$suite_$arch" || status=1
  echo "-- $arch suite"
  cat "$build/suite.log"
  # The views the painting tests saved, as PNG files a person can look at.
  artifacts="$build/tests/windows/artifacts"
  for view in "$artifacts"/*.bmp; do
    [ -f "$view" ] && convert "$view" "${view%.bmp}.png" && rm -f "$view"
  done
  [ -d "$artifacts" ] && echo "Screens of the tested $arch views: $artifacts"
  [ -d "$build/tests/phone-artifacts" ] && echo "Screens of the phone page ($arch): $build/tests/phone-artifacts"
done

"$root/scripts/release_check.sh" $runnable || status=1

phase "Summary"
for arch in $ARCHES; do
  case " $runnable " in
    *" $arch "*)
      set -- $(counts_of "$(build_of $arch)/suite.log")
      passed=$1 failed=$2
      # The install test of the architecture counts as one more.
      if grep -q "^0 failed$" "$root/build/release-test/$arch/install.log" 2>/dev/null; then
        passed=$((passed + 1))
      else
        failed=$((failed + 1))
      fi
      seconds=$(sed -n 's/^Total Test time (real) = *\([0-9]*\).*/\1/p' "$(build_of $arch)/suite.log")
      echo "$arch: $passed passed, $failed failed (its Windows suite: ${seconds:-?} s)"
      [ "$failed" -eq 0 ] || status=1
      ;;
    *) echo "$arch: skipped: this machine cannot run $arch Windows programs (kernel or Wine)" ;;
  esac
done
exit $status
