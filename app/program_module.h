// DLLs that ship beside the program and are loaded only when a feature
// asks for them (the phone display, the satellite list maker).
#pragma once
#include <windows.h>

// From the program's own folder, never from the search path; null when the
// DLL is missing there.
HMODULE LoadProgramModule(const char* name);
