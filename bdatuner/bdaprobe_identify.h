// bdaprobe --identify FILE: who a transport stream recording says it comes
// from, as UTF-8 lines on standard output.
#pragma once
#include <windows.h>

#include <cstddef>

// Returns the exit code (bdatuner/identity_report.h).
int IdentifyRecordingFile(const wchar_t* path);
// The file named after --identify on the command line, read as UTF-16 so
// that any file name opens; its exit code.
int IdentifyFromCommandLine();
// Writes the bytes to standard output or error (STD_OUTPUT_HANDLE,
// STD_ERROR_HANDLE) unchanged, whatever the console's code page.
void WriteBytes(DWORD handle, const char* text, size_t length);
