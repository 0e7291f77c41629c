#include "window_test_support.h"

#include <fstream>
#include <sstream>

#include "app/actions.h"
#include "app/app_state.h"
#include "app/startup.h"

HWND StartProgram() {
    SetWorkingFolder();
    HWND window = CreateMainWindow(GetModuleHandleA(nullptr), SW_SHOWNORMAL);
    PumpMessages(100);
    return window;
}

HWND StartProgramIn(const std::string& folder) {
    SetCurrentDirectoryA(folder.c_str());
    HWND window = CreateMainWindow(GetModuleHandleA(nullptr), SW_SHOWNORMAL);
    PumpMessages(100);
    return window;
}

std::string NewTestFolder() {
    char temp[MAX_PATH];
    GetTempPathA(MAX_PATH, temp);
    const std::string folder = std::string(temp) + "zentrik-" +
                               std::to_string(GetCurrentProcessId()) + "-" +
                               std::to_string(GetTickCount64());
    CreateDirectoryA(folder.c_str(), nullptr);
    return folder;
}

void WriteTestFile(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

std::string ReadWholeFile(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    std::ostringstream bytes;
    bytes << file.rdbuf();
    return bytes.str();
}

void StopMeasurement() {
    if (App.RunMode.load() == Measuring) MiddleAction();
    WaitForFlagClear(App.PollerRunning);
    WaitForFlagClear(App.FeedbackRunning);
}

void PumpMessages(DWORD milliseconds) {
    const ULONGLONG end = GetTickCount64() + milliseconds;
    MSG message;
    while (GetTickCount64() < end) {
        while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&message);
            DispatchMessageA(&message);
        }
        Sleep(5);
    }
}

int RunUntilQuit() { return RunMessageLoop(); }

std::string ProgramFolder() {
    char path[MAX_PATH];
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string folder = path;
    return folder.substr(0, folder.find_last_of('\\'));
}
