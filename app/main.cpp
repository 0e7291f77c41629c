// Entry point of Zentrik.exe.
#include <windows.h>

#include "app/startup.h"
#include "app/list_renewal.h"
#include "phone/phone_display.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int showCommand) {
    TakeListSwitch();
    SetWorkingFolder();
    CreateMainWindow(instance, showCommand);
    // Only with /phone: otherwise nothing is loaded and no socket opened.
    StartPhoneDisplay(GetCommandLineA());
    // Dropped files, and /list:PATH: a newer satellites.xml renews the list.
    StartListRenewal();
    const int exitCode = RunMessageLoop();
    StopPhoneDisplay();
    return exitCode;
}
