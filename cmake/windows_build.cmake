# The Windows program: the product library, Zentrik.exe with its embedded data,
# the generated version header and manifest, and the files that travel beside
# the program. Flags are chosen by compiler, so MSVC builds it as well as
# mingw-w64 (gcc or clang).
enable_language(RC)

if(MSVC)
    add_compile_options(/W4 /utf-8)
    # Static C/C++ runtime: the exe needs nothing beyond the Windows system DLLs.
    set(CMAKE_MSVC_RUNTIME_LIBRARY "MultiThreaded$<$<CONFIG:Debug>:Debug>")
else()
    add_compile_options(-Wall -Wextra)
    add_link_options(-static -static-libgcc -static-libstdc++)
endif()

# The home button's address. The default is the manual installed beside the
# program, opened relative to the program's folder.
set(ZENTRIK_HOME_PAGE "Zentrik.html" CACHE STRING "What the home button opens")
string(REPLACE "\\" "\\\\" ZENTRIK_HOME_PAGE_C "${ZENTRIK_HOME_PAGE}")
string(REPLACE "\"" "\\\"" ZENTRIK_HOME_PAGE_C "${ZENTRIK_HOME_PAGE_C}")

# The manifest names the architecture of this build: a 32-bit exe whose
# manifest says amd64 does not start.
string(TOLOWER "${CMAKE_SYSTEM_PROCESSOR}" processor)
if(processor MATCHES "^(x86_64|amd64|x64)$")
    set(ZENTRIK_MANIFEST_ARCH amd64)
    set(ZENTRIK_ARCH x64)
elseif(processor MATCHES "^(x86|i[3-6]86)$")
    set(ZENTRIK_MANIFEST_ARCH x86)
    set(ZENTRIK_ARCH x86)
elseif(processor MATCHES "^(arm64|aarch64)$")
    set(ZENTRIK_MANIFEST_ARCH arm64)
    set(ZENTRIK_ARCH arm64)
else()
    message(FATAL_ERROR "Unknown target processor '${CMAKE_SYSTEM_PROCESSOR}' for the manifest")
endif()

set(generated ${CMAKE_BINARY_DIR}/generated)
configure_file(${CMAKE_SOURCE_DIR}/resources/zentrik_version.h.in ${generated}/zentrik_version.h @ONLY)
configure_file(${CMAKE_SOURCE_DIR}/resources/zentrik.manifest.in ${generated}/zentrik.manifest @ONLY)
# What the release script, the installer and the test setup need to know about
# this build; the last is the regsvr32 of its architecture in a 64-bit Wine
# prefix (the 32-bit one lives in SysWOW64). Values are as a shell reads them.
if(ZENTRIK_ARCH STREQUAL "x86")
    set(ZENTRIK_REGSVR32 "C:\\windows\\syswow64\\regsvr32.exe")
else()
    set(ZENTRIK_REGSVR32 "regsvr32")
endif()
file(WRITE ${CMAKE_BINARY_DIR}/release.env
     "ZENTRIK_VERSION=${PROJECT_VERSION}\nZENTRIK_ARCH=${ZENTRIK_ARCH}\nZENTRIK_REGSVR32='${ZENTRIK_REGSVR32}'\n")

# The read-me carries the version in its first line; it is checked here rather
# than generated so that the file in the repository stays the one users read.
file(STRINGS ${CMAKE_SOURCE_DIR}/ReadMe.txt readme_title LIMIT_COUNT 1)
if(NOT readme_title MATCHES "^Zentrik ${PROJECT_VERSION} ")
    message(FATAL_ERROR "ReadMe.txt begins '${readme_title}', not 'Zentrik ${PROJECT_VERSION} '")
endif()

add_library(zentrik_app STATIC
    ${ZENTRIK_CORE_SOURCES}
    app/app_state.cpp app/actions.cpp app/resources.cpp app/startup.cpp app/program_module.cpp
    phone/phone_display.cpp app/list_renewal.cpp
    transponder/satellite_file.cpp transponder/manual_entry.cpp
    tuner/tuner_control.cpp tuner/tuning_sequence.cpp
    measure/measurement.cpp measure/signal_readings.cpp
    measure/identity_watch.cpp skin/identity_paint.cpp
    skin/skin_sheet.cpp
    skin/controls.cpp skin/drawing.cpp skin/window_proc.cpp)
target_include_directories(zentrik_app PUBLIC ${CMAKE_SOURCE_DIR} ${generated})
target_compile_definitions(zentrik_app PUBLIC NOMINMAX)
target_link_libraries(zentrik_app PUBLIC ole32 uuid comctl32 winmm shell32 gdi32 user32)

# The skin sheet is packed at build time by the repo's own packer, a tool for
# the build machine: when cross-compiling it is built with the host's compiler.
set(ZENTRIK_SHEET_PAYLOAD ${CMAKE_SOURCE_DIR}/resources/sheet/skin_sheet.payload CACHE FILEPATH "The rendered skin sheet payload")
file(GLOB packer_sources CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tools/packer/*.cpp)
file(GLOB packer_headers CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tools/packer/*.h)
list(APPEND packer_sources ${CMAKE_SOURCE_DIR}/skin/packed_image.cpp)
if(CMAKE_CROSSCOMPILING)
    set(ZENTRIK_HOST_CXX c++ CACHE STRING "The build machine's C++ compiler, for the sheet packer")
    set(packer ${generated}/packer)
    add_custom_command(OUTPUT ${packer}
        COMMAND ${ZENTRIK_HOST_CXX} -std=c++17 -O2 -I${CMAKE_SOURCE_DIR} -o ${packer} ${packer_sources}
        DEPENDS ${packer_sources} ${packer_headers} ${CMAKE_SOURCE_DIR}/skin/packed_image.h
        COMMENT "Building the sheet packer")
else()
    add_executable(packer ${packer_sources})
    target_include_directories(packer PRIVATE ${CMAKE_SOURCE_DIR})
    set(packer $<TARGET_FILE:packer>)
endif()
add_custom_command(OUTPUT ${generated}/skin_sheet.jc
    COMMAND ${packer} ${ZENTRIK_SHEET_PAYLOAD} ${generated}/skin_sheet.jc
    DEPENDS ${packer} ${ZENTRIK_SHEET_PAYLOAD}
    COMMENT "Packing the skin sheet")
add_custom_target(packed_sheet DEPENDS ${generated}/skin_sheet.jc)

file(GLOB embedded_data CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/resources/*.ini
     ${CMAKE_SOURCE_DIR}/resources/*.trp ${CMAKE_SOURCE_DIR}/resources/*.ico
     ${CMAKE_SOURCE_DIR}/resources/sounds/*.wav)
list(APPEND embedded_data ${generated}/skin_sheet.jc ${generated}/zentrik.manifest
     ${generated}/zentrik_version.h)
set_source_files_properties(resources/zentrik.rc PROPERTIES OBJECT_DEPENDS "${embedded_data}")

add_executable(Zentrik WIN32 app/main.cpp resources/zentrik.rc)
add_dependencies(Zentrik packed_sheet)
# The phone display's server, beside the program (loaded only with /phone).
add_subdirectory(${CMAKE_SOURCE_DIR}/phone ${CMAKE_BINARY_DIR}/phone)
add_dependencies(Zentrik ZentrikPhone)
# The satellite list maker, beside the program (loaded only for a dropped
# satellites.xml or /list:PATH).
add_subdirectory(${CMAKE_SOURCE_DIR}/listrenew ${CMAKE_BINARY_DIR}/listrenew)
add_dependencies(Zentrik ZentrikList)
target_include_directories(Zentrik PRIVATE ${generated} ${CMAKE_SOURCE_DIR}/resources)
target_link_libraries(Zentrik PRIVATE zentrik_app)
# The read-me and the manual travel beside the program; the middle button
# opens the one, the home button the other.
add_custom_command(TARGET Zentrik POST_BUILD
    COMMAND ${CMAKE_COMMAND} -E copy_if_different ${CMAKE_SOURCE_DIR}/ReadMe.txt $<TARGET_FILE_DIR:Zentrik>/ReadMe.txt
    COMMAND ${CMAKE_COMMAND} -E copy_if_different ${CMAKE_SOURCE_DIR}/manual/Zentrik.html $<TARGET_FILE_DIR:Zentrik>/Zentrik.html)
