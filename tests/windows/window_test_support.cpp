#include "window_test_support.h"

#include <cstring>
#include <fstream>
#include <sstream>

#include "app/actions.h"
#include "app/app_state.h"
#include "app/startup.h"
#include "sleep_recorder.h"

HWND StartProgram() {
    SetWorkingFolder();
    return StartProgramIn(".");
}

HWND StartProgramIn(const std::string& folder) {
    SetCurrentDirectoryA(folder.c_str());
    // The pointer is left where an earlier test on this display put it; a
    // window created under it would show a hover face the test never asked for.
    SetCursorPos(0, 0);
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

void ChooseHotBird() { SendMessageA(App.SatelliteCombo, CB_SETCURSEL, 53, 0); }

StartResult StartHotBird() {
    ChooseHotBird();
    return StartAction();
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
            if (message.message == WM_QUIT) {
                // Leave the quit for the program's own loop to see.
                PostQuitMessage(static_cast<int>(message.wParam));
                return;
            }
            TranslateMessage(&message);
            DispatchMessageA(&message);
        }
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 5, QS_ALLINPUT);
    }
}

namespace {
bool WaitUntil(const std::function<bool()>& condition, DWORD milliseconds, bool pump) {
    const ULONGLONG end = GetTickCount64() + milliseconds;
    while (!condition()) {
        if (GetTickCount64() >= end) return false;
        if (pump) PumpMessages(2);
        else RealSleep(2);
    }
    return true;
}
}  // namespace

bool PumpUntil(const std::function<bool()>& condition, DWORD milliseconds) {
    return WaitUntil(condition, milliseconds, true);
}

bool PollUntil(const std::function<bool()>& condition, DWORD milliseconds) {
    return WaitUntil(condition, milliseconds, false);
}

int RunUntilQuit() { return RunMessageLoop(); }

std::string ProgramFolder() {
    char path[MAX_PATH];
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string folder = path;
    return folder.substr(0, folder.find_last_of('\\'));
}

namespace {
struct ShellWindowSearch {
    const char* Name;
    HWND Found;
};
BOOL CALLBACK FindShellWindow(HWND window, LPARAM param) {
    auto* search = reinterpret_cast<ShellWindowSearch*>(param);
    char title[256] = {};
    GetWindowTextA(window, title, sizeof title);
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    if (process != GetCurrentProcessId() && IsWindowVisible(window) && strstr(title, search->Name)) {
        search->Found = window;
        return FALSE;
    }
    return TRUE;
}
}  // namespace

bool CloseShellWindowNaming(const char* fileName) {
    // The editor inherits the test's output pipe, so it must not outlive the test.
    ShellWindowSearch search = {fileName, nullptr};
    for (int i = 0; i < 100 && !search.Found; ++i) {
        EnumWindows(FindShellWindow, reinterpret_cast<LPARAM>(&search));
        if (!search.Found) RealSleep(50);
    }
    if (!search.Found) return false;
    DWORD process = 0;
    GetWindowThreadProcessId(search.Found, &process);
    HANDLE editor = OpenProcess(PROCESS_TERMINATE, FALSE, process);
    if (editor) {
        TerminateProcess(editor, 0);
        CloseHandle(editor);
    }
    return true;
}

COLORREF SheetPixel(int x, int y) {
    const uint8_t* p = App.SkinSheetPixels + (199 - y) * 1940 + x * 3;
    return RGB(p[2], p[1], p[0]);
}
