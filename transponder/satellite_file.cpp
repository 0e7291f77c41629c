#include "transponder/satellite_file.h"

#include <windows.h>
#include <string>
#include <vector>

#include "app/app_state.h"
#include "app/resources.h"
#include "transponder/satellite_list.h"

namespace {

constexpr int kSatelliteComboId = 0x71;

// Reads the whole list file; false when it cannot be opened. The list is the
// user's file: it is only ever opened for reading here.
bool ReadListFile(DWORD shareMode, std::vector<uint8_t>* bytes) {
    HANDLE file = CreateFileA("satellite.ini", GENERIC_READ, shareMode, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    const DWORD size = GetFileSize(file, nullptr);
    bytes->assign(size == INVALID_FILE_SIZE ? 0 : size, 0);
    DWORD read = 0;
    if (!bytes->empty()) ReadFile(file, bytes->data(), size, &read, nullptr);
    bytes->resize(read);
    CloseHandle(file);
    return true;
}

void AddComboItem(void*, const char* text, size_t length) {
    std::string item(text, length);
    SendMessageA(App.SatelliteCombo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(item.c_str()));
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
    std::vector<uint8_t> bytes;
    const bool opened = ReadListFile(FILE_SHARE_READ, &bytes);
    App.SatelliteCombo = CreateWindowExA(
        0, "COMBOBOX", "", WS_CHILD | WS_VISIBLE | WS_VSCROLL | WS_HSCROLL | CBS_DROPDOWNLIST,
        40, 85, 270, 645, App.MainWindow, reinterpret_cast<HMENU>(kSatelliteComboId),
        App.Instance, nullptr);
    SendMessageA(App.SatelliteCombo, CB_SETHORIZONTALEXTENT, 600, 0);
    SendMessageA(App.SatelliteCombo, WM_SETFONT, reinterpret_cast<WPARAM>(App.TextFont), TRUE);
    if (opened) ListSatelliteNames(bytes.data(), bytes.size(), AddComboItem, nullptr);
}

StartResult ReadSatelliteEntry() {
    const LRESULT selection = SendMessageA(App.SatelliteCombo, CB_GETCURSEL, 0, 0);
    if (selection == CB_ERR) {
        MessageBoxA(App.MainWindow, "Please shoose the satellite!", "Attention!", MB_OK);
        return RejectedReported;
    }
    std::vector<uint8_t> bytes;
    if (!ReadListFile(0, &bytes)) {
        MessageBoxA(App.MainWindow, "satellite.ini - not found !", "Attention!", MB_OK);
        return RejectedReported;
    }
    switch (ReadSatelliteEntryBytes(bytes.data(), bytes.size(), static_cast<int32_t>(selection),
                                    &App.Transponder, App.MeasureCaption)) {
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
