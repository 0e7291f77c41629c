// Entry point of Zentrik.exe.
#include <windows.h>

#include "app/startup.h"
#include "phone/phone_display.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int showCommand) {
    SetWorkingFolder();
    CreateMainWindow(instance, showCommand);
    // Only with /phone: otherwise nothing is loaded and no socket opened.
    StartPhoneDisplay(GetCommandLineA());
    const int exitCode = RunMessageLoop();
    StopPhoneDisplay();
    return exitCode;
}
