// Points this test program's import of a system function at a stand-in, so a
// test can watch or bend what the program gets from the system.
#pragma once
#include <windows.h>

// Returns the function the import pointed at before, or nullptr when this
// program does not import it.
void* ReplaceImport(const char* dll, const char* function, void* replacement);
// The same for the imports of another loaded module (a DLL under test).
void* ReplaceImportOf(HMODULE module, const char* dll, const char* function, void* replacement);
