// Sees the program's message boxes as the user does and answers them.
// A background thread looks for dialog windows of the process, records owner,
// caption, text, buttons and icon, then presses the first button.
#pragma once
#include <windows.h>
#include <string>
#include <vector>

struct SeenMessageBox {
    HWND Owner = nullptr;
    std::string Caption;
    std::string Text;
    std::vector<std::string> Buttons;
    HICON Icon = nullptr;  // compare with StandardIcon()
    ULONGLONG SeenAt = 0;  // GetTickCount64 when the box was found
};

void StartMessageBoxWatcher();
// The button pressed from now on: the one with this text where the box has
// it, else the first ("" is always the first, as at the start).
void AnswerMessageBoxesWith(const std::string& button);
void StopMessageBoxWatcher();
// The boxes answered so far, oldest first; the list is emptied.
std::vector<SeenMessageBox> TakeMessageBoxes();
HICON StandardIcon(LPCSTR id);
