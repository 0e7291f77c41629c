// Start-up, message loop and the ordered teardown of the process.
#pragma once
#include <windows.h>

void SetWorkingFolder();
// Registers the class, creates the centred window with its kept WindowDC,
// shows it, runs InitApplication and paints it once (entry point steps 2 to 8).
HWND CreateMainWindow(HINSTANCE instance, int showCommand);
void InitApplication();
int RunMessageLoop();
void Shutdown();
