#include "transponder/satellite_file.h"

#include <windows.h>
#include <cstring>

#include "app/app_state.h"
#include "app/resources.h"
#include "transponder/satellite_list.h"

namespace {

constexpr int kSatelliteComboId = 0x71;

// Reads the whole list file into a buffer from the process heap (HeapFree it);
// null when it cannot be opened. The list is the user's file: it is only ever
// opened for reading here. Plain heap buffers rather than std::vector and
// std::string keep the C++ exception machinery out of the program: it was
// half of the 32-bit exe.
uint8_t* ReadListFile(DWORD shareMode, DWORD* read) {
    HANDLE file = CreateFileA("satellite.ini", GENERIC_READ, shareMode, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return nullptr;
    DWORD size = GetFileSize(file, nullptr);
    if (size == INVALID_FILE_SIZE) size = 0;
    auto* bytes = static_cast<uint8_t*>(HeapAlloc(GetProcessHeap(), 0, size + 1));
    *read = 0;
    if (bytes && size) ReadFile(file, bytes, size, read, nullptr);
    CloseHandle(file);
    return bytes;
}

void AddComboItem(void*, const char* text, size_t length) {
    auto* item = static_cast<char*>(HeapAlloc(GetProcessHeap(), 0, length + 1));
    if (!item) return;
    memcpy(item, text, length);
    item[length] = '\0';
    SendMessageA(App.SatelliteCombo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(item));
    HeapFree(GetProcessHeap(), 0, item);
}

// One item per entry of the file, in file order; none when it cannot be opened.
void AddSatelliteItems() {
    DWORD size = 0;
    uint8_t* bytes = ReadListFile(FILE_SHARE_READ, &size);
    if (!bytes) return;
    ListSatelliteNames(bytes, size, AddComboItem, nullptr);
    HeapFree(GetProcessHeap(), 0, bytes);
}

}  // namespace

bool EnsureSatelliteFile() {
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA("*atellite.ini", &found);
    if (search != INVALID_HANDLE_VALUE) {
        FindClose(search);
        return true;
    }
    HANDLE file = CreateFileA("satellite.ini", GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        MessageBoxA(App.MainWindow, "Cannot create file satellite.ini", "Error!", MB_OK);
        DestroyWindow(App.MainWindow);
        return false;
    }
    App.DefaultList = LockProgramResource("SATDATA", &App.DefaultListSize);
    DWORD written = 0;
    if (App.DefaultList) WriteFile(file, App.DefaultList, App.DefaultListSize, &written, nullptr);
    CloseHandle(file);
    return true;
}

void FillSatelliteCombo() {
    App.SatelliteCombo = CreateWindowExA(
        0, "COMBOBOX", "", WS_CHILD | WS_VISIBLE | WS_VSCROLL | WS_HSCROLL | CBS_DROPDOWNLIST,
        40, 85, 270, 645, App.MainWindow, reinterpret_cast<HMENU>(kSatelliteComboId),
        App.Instance, nullptr);
    SendMessageA(App.SatelliteCombo, CB_SETHORIZONTALEXTENT, 600, 0);
    SendMessageA(App.SatelliteCombo, WM_SETFONT, reinterpret_cast<WPARAM>(App.TextFont), TRUE);
    AddSatelliteItems();
}

void RefillSatelliteCombo() {
    SendMessageA(App.SatelliteCombo, CB_RESETCONTENT, 0, 0);
    AddSatelliteItems();
}

StartResult ReadSatelliteEntry() {
    const LRESULT selection = SendMessageA(App.SatelliteCombo, CB_GETCURSEL, 0, 0);
    if (selection == CB_ERR) {
        MessageBoxA(App.MainWindow, "Please shoose the satellite!", "Attention!", MB_OK);
        return RejectedReported;
    }
    DWORD size = 0;
    uint8_t* bytes = ReadListFile(0, &size);
    if (!bytes) {
        MessageBoxA(App.MainWindow, "satellite.ini - not found !", "Attention!", MB_OK);
        return RejectedReported;
    }
    const EntryCheck entry = ReadSatelliteEntryBytes(bytes, size, static_cast<int32_t>(selection),
                                                     &App.Transponder, App.MeasureCaption);
    HeapFree(GetProcessHeap(), 0, bytes);
    switch (entry) {
    case EntryOk: break;
    case EntrySymbolRateBad:
        MessageBoxA(App.MainWindow, "Invalid parameter of symbol rate in satellite.ini",
                    "Attention!", MB_OK | MB_ICONEXCLAMATION);
        return RejectedReported;
    default:
        // An entry the file no longer holds, or one cut short, has no valid
        // frequency either: it is reported as such.
        MessageBoxA(App.MainWindow, "Invalid parameter of transponder frequency in satellite.ini",
                    " Attention! ", MB_OK | MB_ICONEXCLAMATION);
        return RejectedReported;
    }
    App.RunMode.store(Measuring);
    ShowWindow(App.SatelliteCombo, SW_HIDE);
    return Accepted;
}
