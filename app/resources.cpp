#include "app/resources.h"

#include <windows.h>

#include "app/app_state.h"

const uint8_t* LockProgramResource(const char* name, uint32_t* size) {
    HRSRC found = FindResourceA(App.Instance, name, MAKEINTRESOURCEA(10));
    if (size) *size = found ? SizeofResource(App.Instance, found) : 0;
    if (!found) return nullptr;
    return static_cast<const uint8_t*>(LockResource(LoadResource(App.Instance, found)));
}
