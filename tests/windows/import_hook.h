// Points this test program's import of a system function at a stand-in, so a
// test can watch or bend what the program gets from the system.
#pragma once

// Returns the function the import pointed at before, or nullptr when this
// program does not import it.
void* ReplaceImport(const char* dll, const char* function, void* replacement);
