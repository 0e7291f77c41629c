// Reads a message box of another program as a user sees it: waits for a
// dialog with the given caption and prints each of its controls' texts, one
// line each ("Static: ..." for the message, "Button: ..." for each button).
// Exit code 1 when no such box appears within thirty seconds (only a fault
// waits that long, however loaded the machine).
#include <windows.h>

#include <cstdio>

namespace {

BOOL CALLBACK PrintControl(HWND control, LPARAM) {
    char kind[32] = {}, text[512] = {};
    GetClassNameA(control, kind, sizeof kind);
    GetWindowTextA(control, text, sizeof text);
    if (IsWindowVisible(control) && text[0]) std::printf("%s: %s\n", kind, text);
    return TRUE;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) return 2;
    for (int attempt = 0; attempt < 300; ++attempt) {
        if (HWND box = FindWindowA("#32770", argv[1])) {
            EnumChildWindows(box, PrintControl, 0);
            return 0;
        }
        Sleep(100);
    }
    return 1;
}
