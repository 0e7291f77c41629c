// Starting the real MainWindow inside the test process and driving it.
#pragma once
#include <windows.h>
#include <functional>
#include <string>

#include "app/actions.h"

// How long a test waits for anything before it gives up: only a fault should
// ever reach it, however loaded the machine.
constexpr DWORD kGiveUpMs = 30000;

// Start-up as the entry point does it, without the message loop.
HWND StartProgram();
// The same start-up in a given working folder (for the list file's cases).
HWND StartProgramIn(const std::string& folder);
// A new empty folder under the temporary folder.
std::string NewTestFolder();
void WriteTestFile(const std::string& path, const std::string& bytes);
std::string ReadWholeFile(const std::string& path);
// "HotBird1-6   13.0e" (10723h29900), the satellite the tests measure on,
// chosen in the list; and chosen and started, as FIND> does.
void ChooseHotBird();
StartResult StartHotBird();
// Ends a running measurement and waits until both workers are gone.
void StopMeasurement();
// Waits for the editor the shell opened for a file, closes it and says
// whether it came: its title names the file.
bool CloseShellWindowNaming(const char* fileName);
// Where the window shows each control's faces, written out here rather than
// taken from the program's table, so that the tests check the table too.
constexpr POINT kLeftAt{36, 160}, kCadenceAt{36, 161}, kMiddleAt{138, 160}, kRightAt{240, 160};
constexpr POINT kMinimiseAt{262, 6}, kCloseAt{289, 6};
constexpr POINT kLanguageAt{5, 35}, kSoundAt{5, 70}, kHomeAt{5, 105};
// A pixel of the skin sheet, top-down coordinates.
COLORREF SheetPixel(int x, int y);
// Dispatches the thread's messages for about the given time.
void PumpMessages(DWORD milliseconds);
// Dispatches messages until the condition holds, for at most the given time;
// whether it came to hold. The deadline is generous: only a fault reaches it.
bool PumpUntil(const std::function<bool()>& condition, DWORD milliseconds = kGiveUpMs);
// The same without dispatching, for conditions that painting would undo.
bool PollUntil(const std::function<bool()>& condition, DWORD milliseconds = kGiveUpMs);
// Runs the program's own message loop until the quit message; its exit code.
int RunUntilQuit();
std::string ProgramFolder();
