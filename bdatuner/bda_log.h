// The bridge's account of what it does: every step, every driver quirk it
// works around and every failed call with its HRESULT, as debug output
// (OutputDebugString: a debugger or DebugView shows it). Nothing is written
// to a file. Each line starts with kBdaLogPrefix.
#pragma once
#include <windows.h>

#include "bdatuner/bda_devices.h"

constexpr char kBdaLogPrefix[] = "ZentrikBdaTuner: ";

// One line of debug output: the prefix, then the printf-formatted text.
void BdaLog(const char* format, ...)
#if defined(__MINGW_PRINTF_FORMAT)
    __attribute__((format(__MINGW_PRINTF_FORMAT, 1, 2)))
#endif
    ;

// Texts for BdaLog's %s, valid until the end of the statement.
struct BdaLogText {
    char Text[3 * kDevicePathChars + 1];  // a device path, in UTF-8
};
// A device name or path (UTF-16, as the moniker gives it) in UTF-8.
BdaLogText LogName(const wchar_t* name);
// "S_OK", "S_FALSE", or "HRESULT 0x80070057".
BdaLogText LogResult(HRESULT result);
