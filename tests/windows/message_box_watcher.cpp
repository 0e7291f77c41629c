#include "message_box_watcher.h"

#include <atomic>
#include <mutex>
#include <thread>

#include "sleep_recorder.h"

namespace {

std::mutex seenLock;
std::vector<SeenMessageBox> seen;
std::atomic<bool> watching{false};
std::string answer;  // under seenLock
std::thread watcher;

std::string WindowText(HWND window) {
    char text[1024] = {};
    GetWindowTextA(window, text, sizeof text);
    return text;
}

std::string ClassOf(HWND window) {
    char name[64] = {};
    GetClassNameA(window, name, sizeof name);
    return name;
}

BOOL CALLBACK ReadControl(HWND control, LPARAM param) {
    auto* box = reinterpret_cast<SeenMessageBox*>(param);
    const std::string kind = ClassOf(control);
    const LONG style = GetWindowLongA(control, GWL_STYLE);
    if (kind == "Button" && (style & WS_VISIBLE)) {
        box->Buttons.push_back(WindowText(control));
    } else if (kind == "Static") {
        if ((style & SS_TYPEMASK) == SS_ICON)
            box->Icon = reinterpret_cast<HICON>(SendMessageA(control, STM_GETICON, 0, 0));
        else if (GetDlgCtrlID(control) == 0xFFFF)
            box->Text = WindowText(control);
    }
    return TRUE;
}

BOOL CALLBACK FindDialog(HWND window, LPARAM param) {
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    if (process == GetCurrentProcessId() && IsWindowVisible(window) && ClassOf(window) == "#32770") {
        *reinterpret_cast<HWND*>(param) = window;
        return FALSE;
    }
    return TRUE;
}

void Answer(HWND dialog) {
    SeenMessageBox box;
    box.SeenAt = GetTickCount64();
    box.Owner = GetWindow(dialog, GW_OWNER);
    box.Caption = WindowText(dialog);
    EnumChildWindows(dialog, ReadControl, reinterpret_cast<LPARAM>(&box));
    {
        std::lock_guard<std::mutex> guard(seenLock);
        seen.push_back(box);
    }
    // The first button is the only one most of the program's boxes have (OK).
    HWND button = FindWindowExA(dialog, nullptr, "Button", nullptr);
    for (HWND other = button; other; other = FindWindowExA(dialog, other, "Button", nullptr)) {
        std::lock_guard<std::mutex> guard(seenLock);
        if (!answer.empty() && WindowText(other) == answer) button = other;
    }
    PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(button), BN_CLICKED),
                 reinterpret_cast<LPARAM>(button));
    // Wait until this box is gone so that it is not recorded twice.
    while (IsWindow(dialog) && IsWindowVisible(dialog)) Sleep(10);
}

void Watch() {
    SleepForRealOnThisThread();
    while (watching.load()) {
        HWND dialog = nullptr;
        EnumWindows(FindDialog, reinterpret_cast<LPARAM>(&dialog));
        if (dialog) {
            Sleep(50);  // let the box finish laying out its controls
            Answer(dialog);
        } else {
            Sleep(20);
        }
    }
}

}  // namespace

void StartMessageBoxWatcher() {
    if (watching.exchange(true)) return;
    watcher = std::thread(Watch);
}

void StopMessageBoxWatcher() {
    if (!watching.exchange(false)) return;
    watcher.join();
}

void AnswerMessageBoxesWith(const std::string& button) {
    std::lock_guard<std::mutex> guard(seenLock);
    answer = button;
}

std::vector<SeenMessageBox> TakeMessageBoxes() {
    std::lock_guard<std::mutex> guard(seenLock);
    std::vector<SeenMessageBox> taken;
    taken.swap(seen);
    return taken;
}

HICON StandardIcon(LPCSTR id) { return LoadIconA(nullptr, id); }
