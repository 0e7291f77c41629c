# Sourced by the run, test, bench and release scripts: the Windows build of
# each architecture. The tests run against the very build the release is
# packed from (MinSizeRel, the program's default build type).
ARCHES="x64 x86"

build_of() {   # $1 = x64|x86
  case $1 in x64) echo "$root/build/windows" ;; x86) echo "$root/build/windows-x86" ;; esac
}

# The processor name of the architecture's mingw-w64 toolchain and tools.
cpu_of() {
  case $1 in x64) echo x86_64 ;; x86) echo i686 ;; esac
}

# Configures the build of an architecture and builds the given targets, or
# everything.
build_windows() {   # $1 = arch, $2... = targets
  arch=$1
  shift
  cmake -S "$root" -B "$(build_of "$arch")" \
    -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-$(cpu_of "$arch").cmake" >/dev/null &&
    cmake --build "$(build_of "$arch")" -j2 ${1:+--target "$@"} >/dev/null
}
