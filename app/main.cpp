// Entry point of Zentrik.exe.
#include <windows.h>

#include "app/startup.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int showCommand) {
    SetWorkingFolder();
    CreateMainWindow(instance, showCommand);
    return RunMessageLoop();
}
