#include "tuner/com_server_registration.h"

#include <olectl.h>

#include "tuner/tuner_interface.h"

namespace {

constexpr int kClassKeyChars = 80;

LONG SetString(HKEY key, const wchar_t* name, const wchar_t* value) {
    return RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value),
                          static_cast<DWORD>((lstrlenW(value) + 1) * sizeof(wchar_t)));
}

// The per-user class key: Software\Classes\CLSID\{...} under HKCU.
void ClassKeyPath(wchar_t path[kClassKeyChars]) {
    wchar_t id[40];
    StringFromGUID2(kTunerFilterClassId, id, 40);
    lstrcpyW(path, L"Software\\Classes\\CLSID\\");
    lstrcatW(path, id);
}

HRESULT RegisterForUser(const wchar_t* description, const wchar_t* path) {
    wchar_t classKeyPath[kClassKeyChars];
    ClassKeyPath(classKeyPath);
    HKEY classKey = nullptr, serverKey = nullptr;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, classKeyPath, 0, nullptr, 0, KEY_WRITE, nullptr, &classKey, nullptr) !=
        ERROR_SUCCESS)
        return SELFREG_E_CLASS;
    LONG status = SetString(classKey, nullptr, description);
    if (status == ERROR_SUCCESS)
        status = RegCreateKeyExW(classKey, L"InprocServer32", 0, nullptr, 0, KEY_WRITE, nullptr, &serverKey,
                                 nullptr);
    if (status == ERROR_SUCCESS) status = SetString(serverKey, nullptr, path);
    if (status == ERROR_SUCCESS) status = SetString(serverKey, L"ThreadingModel", L"Both");
    if (serverKey) RegCloseKey(serverKey);
    RegCloseKey(classKey);
    return status == ERROR_SUCCESS ? S_OK : SELFREG_E_CLASS;
}

HRESULT UnregisterForUser() {
    wchar_t classKeyPath[kClassKeyChars];
    ClassKeyPath(classKeyPath);
    HKEY classKey = nullptr;
    LONG status = RegOpenKeyExW(HKEY_CURRENT_USER, classKeyPath, 0, KEY_ALL_ACCESS, &classKey);
    if (status == ERROR_FILE_NOT_FOUND) return S_OK;
    if (status != ERROR_SUCCESS) return SELFREG_E_CLASS;
    status = RegDeleteKeyW(classKey, L"InprocServer32");
    RegCloseKey(classKey);
    if (status != ERROR_SUCCESS && status != ERROR_FILE_NOT_FOUND) return SELFREG_E_CLASS;
    status = RegDeleteKeyW(HKEY_CURRENT_USER, classKeyPath);
    return (status == ERROR_SUCCESS || status == ERROR_FILE_NOT_FOUND) ? S_OK : SELFREG_E_CLASS;
}

}  // namespace

HRESULT RegisterTunerServer(const wchar_t* description) {
    // The module this function lives in is the server being registered.
    HMODULE module = nullptr;
    if (!GetModuleHandleExW(
            GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
            reinterpret_cast<LPCWSTR>(&RegisterTunerServer), &module))
        return SELFREG_E_CLASS;
    wchar_t path[MAX_PATH];
    const DWORD n = GetModuleFileNameW(module, path, MAX_PATH);
    if (n == 0 || n >= MAX_PATH) return SELFREG_E_CLASS;
    return RegisterForUser(description, path);
}

HRESULT UnregisterTunerServer() { return UnregisterForUser(); }
