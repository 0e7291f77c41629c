#include "app/program_module.h"

#include <cstring>

#include "app/app_state.h"

HMODULE LoadProgramModule(const char* name) {
    char path[MAX_PATH];
    const DWORD length = GetModuleFileNameA(App.Instance, path, MAX_PATH);
    char* slash = length && length < MAX_PATH ? strrchr(path, '\\') : nullptr;
    const size_t size = strlen(name) + 1;
    if (!slash || static_cast<size_t>(slash + 1 - path) + size > MAX_PATH) return nullptr;
    memcpy(slash + 1, name, size);
    return LoadLibraryA(path);
}
