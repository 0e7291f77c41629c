#include "class_mirror.h"

#include <windows.h>

#include "tuner/tuner_interface.h"

bool MirrorTunerClass() {
    // The same key under both roots: Software\Classes\CLSID\{class}.
    wchar_t id[40], path[96] = L"Software\\Classes\\CLSID\\";
    StringFromGUID2(kTunerFilterClassId, id, 40);
    lstrcatW(path, id);
    const LONG removed = RegDeleteTreeW(HKEY_LOCAL_MACHINE, path);
    if (removed != ERROR_SUCCESS && removed != ERROR_FILE_NOT_FOUND) return false;
    HKEY from = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, path, 0, KEY_READ, &from) != ERROR_SUCCESS) return true;
    HKEY to = nullptr;
    LONG status =
        RegCreateKeyExW(HKEY_LOCAL_MACHINE, path, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &to, nullptr);
    if (status == ERROR_SUCCESS) status = RegCopyTreeW(from, nullptr, to);
    if (to) RegCloseKey(to);
    RegCloseKey(from);
    return status == ERROR_SUCCESS;
}
