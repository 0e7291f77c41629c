#include "tuner/com_server_registration.h"

#include <olectl.h>

#include "tuner/tuner_interface.h"

namespace {

constexpr int kClassKeyChars = 80;

LONG SetString(HKEY key, const wchar_t* name, const wchar_t* value) {
    return RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value),
                          static_cast<DWORD>((lstrlenW(value) + 1) * sizeof(wchar_t)));
}

// "CLSID\{...}" with the given prefix ("" under HKCR, "Software\Classes\" under HKCU).
void ClassKeyPath(const wchar_t* prefix, wchar_t path[kClassKeyChars]) {
    wchar_t id[40];
    StringFromGUID2(kTunerFilterClassId, id, 40);
    lstrcpyW(path, prefix);
    lstrcatW(path, L"CLSID\\");
    lstrcatW(path, id);
}

// Wine (8.x) looks class ids up only in HKEY_CLASSES_ROOT, without the
// per-user HKCU\Software\Classes; there the entries are also written to HKCR.
bool RunningUnderWine() {
    HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    return ntdll && GetProcAddress(ntdll, "wine_get_version");
}

HRESULT RegisterUnder(HKEY root, const wchar_t* prefix, const wchar_t* description, const wchar_t* path) {
    wchar_t classKeyPath[kClassKeyChars];
    ClassKeyPath(prefix, classKeyPath);
    HKEY classKey = nullptr, serverKey = nullptr;
    if (RegCreateKeyExW(root, classKeyPath, 0, nullptr, 0, KEY_WRITE, nullptr, &classKey, nullptr) !=
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

HRESULT UnregisterUnder(HKEY root, const wchar_t* prefix) {
    wchar_t classKeyPath[kClassKeyChars];
    ClassKeyPath(prefix, classKeyPath);
    HKEY classKey = nullptr;
    LONG status = RegOpenKeyExW(root, classKeyPath, 0, KEY_ALL_ACCESS, &classKey);
    if (status == ERROR_FILE_NOT_FOUND) return S_OK;
    if (status != ERROR_SUCCESS) return SELFREG_E_CLASS;
    status = RegDeleteKeyW(classKey, L"InprocServer32");
    RegCloseKey(classKey);
    if (status != ERROR_SUCCESS && status != ERROR_FILE_NOT_FOUND) return SELFREG_E_CLASS;
    status = RegDeleteKeyW(root, classKeyPath);
    return (status == ERROR_SUCCESS || status == ERROR_FILE_NOT_FOUND) ? S_OK : SELFREG_E_CLASS;
}

constexpr wchar_t kUserClasses[] = L"Software\\Classes\\";

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
    HRESULT result = RegisterUnder(HKEY_CURRENT_USER, kUserClasses, description, path);
    if (SUCCEEDED(result) && RunningUnderWine())
        result = RegisterUnder(HKEY_CLASSES_ROOT, L"", description, path);
    return result;
}

HRESULT UnregisterTunerServer() {
    HRESULT result = UnregisterUnder(HKEY_CURRENT_USER, kUserClasses);
    if (RunningUnderWine()) {
        const HRESULT mirror = UnregisterUnder(HKEY_CLASSES_ROOT, L"");
        if (SUCCEEDED(result)) result = mirror;
    }
    return result;
}
