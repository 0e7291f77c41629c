// Start-up, message loop and the ordered teardown of the process.
#pragma once
#include <windows.h>

void SetWorkingFolder();
// Registers the class, creates the centred window with its kept WindowDC,
// shows it, runs InitApplication, paints it once and opens the tuner card; a
// card that cannot be opened destroys the window again.
HWND CreateMainWindow(HINSTANCE instance, int showCommand);
void InitApplication();
int RunMessageLoop();
void Shutdown();
