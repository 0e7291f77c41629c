# Cross-compiling the 32-bit Zentrik.exe for Windows x86 with Debian's mingw-w64
# toolchain. The 32-bit build is the one that loads the tuner makers' 32-bit
# in-process filters.
set(CMAKE_SYSTEM_PROCESSOR x86)
set(TOOLCHAIN_PREFIX i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64-common.cmake)
