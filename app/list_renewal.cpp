#include "app/list_renewal.h"

#include "app/app_state.h"
#include "app/program_module.h"
#include "app/resources.h"
#include "listrenew/list_module.h"
#include "transponder/satellite_file.h"

namespace {

void Tell(const char* text) { MessageBoxA(App.MainWindow, text, "Attention!", MB_OK | MB_ICONEXCLAMATION); }

// "/list:PATH" or "-list:PATH", the name in any case: the path, else null.
const wchar_t* SwitchedListPath(const wchar_t* argument) {
    if (argument[0] != L'/' && argument[0] != L'-') return nullptr;
    static const wchar_t kName[] = L"list:";
    for (int i = 0; kName[i]; ++i) {
        const wchar_t c = argument[1 + i];
        if ((c >= L'A' && c <= L'Z' ? static_cast<wchar_t>(c + 32) : c) != kName[i]) return nullptr;
    }
    return argument + 6;
}

void RenewFrom(const wchar_t* path) {
    HMODULE module = LoadProgramModule(kListModuleName);
    auto renew = reinterpret_cast<RenewSatelliteListFunction>(
        module ? reinterpret_cast<void*>(GetProcAddress(module, kRenewSatelliteListName)) : nullptr);
    if (!renew) {
        Tell("The satellite list maker is missing: ZentrikList.dll belongs beside Zentrik.exe.\n"
             "Your satellite list is unchanged.");
    } else {
        uint32_t size = 0;
        const uint8_t* builtin = LockProgramResource("SATDATA", &size);
        const ListRequest request{kListRequestVersion, sizeof(ListRequest), App.MainWindow, path, builtin, size};
        if (renew(&request) == ListRenewed) RefillSatelliteCombo();
    }
    if (module) FreeLibrary(module);
}

void OfferSatelliteList(const wchar_t* path) {
    if (App.OfferingList) return;
    if (App.RunMode.load() == Measuring) {
        Tell("A satellite list cannot be made while measuring.\nPress <BACK, then drop the file again.");
        return;
    }
    App.OfferingList = 1;
    RenewFrom(path);
    App.OfferingList = 0;
}

}  // namespace

void TakeListSwitch() {
    int count = 0;
    wchar_t** arguments = CommandLineToArgvW(GetCommandLineW(), &count);
    for (int i = 1; arguments && i < count; ++i) {
        const wchar_t* path = SwitchedListPath(arguments[i]);
        if (!path) continue;
        // Made whole against the folder the program was started in, before
        // the working folder becomes the program's own.
        const DWORD length = GetFullPathNameW(path, MAX_PATH, App.ListSwitchPath, nullptr);
        if (length == 0 || length >= MAX_PATH) lstrcpynW(App.ListSwitchPath, path, MAX_PATH);
        break;
    }
    LocalFree(arguments);
}

void StartListRenewal() {
    if (!IsWindow(App.MainWindow)) return;
    DragAcceptFiles(App.MainWindow, TRUE);
    if (App.ListSwitchPath[0]) OfferSatelliteList(App.ListSwitchPath);
}

void OnDropFiles(HDROP drop) {
    const UINT files = DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0);
    const UINT length = files ? DragQueryFileW(drop, 0, nullptr, 0) : 0;
    auto* path = static_cast<wchar_t*>(HeapAlloc(GetProcessHeap(), 0, (length + 1) * sizeof(wchar_t)));
    if (path) DragQueryFileW(drop, 0, path, length + 1);
    DragFinish(drop);
    if (files > 1 && App.RunMode.load() != Measuring) Tell("Drop one satellites.xml at a time.");
    else if (path && files) OfferSatelliteList(path);
    if (path) HeapFree(GetProcessHeap(), 0, path);
}
