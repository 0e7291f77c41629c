// The program's side of the phone display: with /phone on the command line,
// ZentrikPhone.dll is loaded from the program's folder and serves the page
// over the published fields; without it nothing is loaded and no socket is
// opened. UI thread only.
#pragma once

// Reads the switch and starts the display; a bad port, a missing DLL or a
// port in use is told in a message box, and the program runs without it.
void StartPhoneDisplay(const char* commandLine);
// Stops the server and unloads the DLL; nothing when it never started.
void StopPhoneDisplay();
