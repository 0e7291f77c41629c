// Start-up and shutdown of the real MainWindow.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "app/app_state.h"
#include "skin/skin_sheet.h"
#include "message_box_watcher.h"
#include "sleep_recorder.h"
#include "zentrik_version.h"
#include "window_test_support.h"

TEST(Startup, CreatesTheCentredSkinnedPopup) {
    HWND window = StartProgram();
    ASSERT_TRUE(IsWindow(window));
    EXPECT_EQ(window, App.MainWindow);
    EXPECT_EQ(GetClassLongPtrA(window, GCL_STYLE), 0x2Bu);
    char title[64] = {};
    GetWindowTextA(window, title, sizeof title);
    EXPECT_STREQ(title, "Zentrik " ZENTRIK_VERSION);
    const LONG style = GetWindowLongA(window, GWL_STYLE);
    EXPECT_EQ(style & ~(WS_VISIBLE | WS_CLIPSIBLINGS), static_cast<LONG>(WS_POPUP));
    EXPECT_EQ(GetWindowLongA(window, GWL_EXSTYLE) & ~WS_EX_WINDOWEDGE, 0);
    RECT frame;
    GetWindowRect(window, &frame);
    EXPECT_EQ(frame.right - frame.left, 350);
    EXPECT_EQ(frame.bottom - frame.top, 200);
    EXPECT_EQ(frame.left, GetSystemMetrics(SM_CXSCREEN) / 2 - 175);
    EXPECT_EQ(frame.top, GetSystemMetrics(SM_CYSCREEN) / 2 - 100);
    // The class icon is the program's icon 142, with its 32 x 32 image.
    HICON icon = reinterpret_cast<HICON>(GetClassLongPtrA(window, GCLP_HICON));
    ASSERT_NE(icon, nullptr);
    ICONINFO iconInfo = {};
    ASSERT_TRUE(GetIconInfo(icon, &iconInfo));
    BITMAP iconBitmap = {};
    GetObjectA(iconInfo.hbmColor, sizeof iconBitmap, &iconBitmap);
    EXPECT_EQ(iconBitmap.bmWidth, 32);
    DeleteObject(iconInfo.hbmColor);
    DeleteObject(iconInfo.hbmMask);
    // CS_OWNDC: the window has one surface, the one start-up kept.
    EXPECT_EQ(GetDC(window), App.WindowDC);
    // The rounded outline cuts the corners away.
    HRGN shape = CreateRectRgn(0, 0, 0, 0);
    ASSERT_NE(GetWindowRgn(window, shape), ERROR);
    EXPECT_FALSE(PtInRegion(shape, 1, 1));
    EXPECT_TRUE(PtInRegion(shape, 175, 100));
    DeleteObject(shape);
    EXPECT_TRUE(TakeMessageBoxes().empty());
}

TEST(Startup, StateStartsAtItsInitialValues) {
    StartProgram();
    EXPECT_EQ(App.RunMode.load(), ::Setup);
    EXPECT_EQ(App.InputMode, ListMode);
    EXPECT_EQ(App.SoundMode.load(), Tone);
    EXPECT_EQ(App.SavedSoundMode, Tone);
    EXPECT_EQ(App.VoiceLanguage.load(), English);
    EXPECT_EQ(App.Cadence.load(), 1200);
    EXPECT_EQ(App.BigReadout.load(), 0);
    EXPECT_EQ(App.Transponder.Frequency, 11344);
    EXPECT_EQ(App.Transponder.Polarisation, 0);
    EXPECT_EQ(App.Transponder.SymbolRate, 27500);
    EXPECT_EQ(App.Transponder.Diseqc, 0);
    EXPECT_EQ(App.SignalLevel.load(), 0);
    char text[4];
    ReadLevelText(App.LevelText, text);
    EXPECT_STREQ(text, "00%");
    EXPECT_EQ(App.PollerRunning.load(), 0);
    EXPECT_EQ(App.FeedbackRunning.load(), 0);
    EXPECT_EQ(App.SweepX, 42);
    // The default typed entry comes from the embedded TRP data.
    EXPECT_EQ(std::string(App.EntryLine.Text, 13), "12245H27500  ");
    EXPECT_EQ(App.EntryLine.Position, 11);
    EXPECT_EQ(std::string(App.MeasureCaption, 32), std::string(32, '\0'));
    EXPECT_EQ(GetFocus(), App.SatelliteCombo);
}

// ctest starts this program from the build folder, with arguments: the working
// folder must still be the program's own folder, where satellite.ini lives.
TEST(Startup, WorkingFolderIsTheProgramFolderWhateverTheCommandLine) {
    char before[MAX_PATH];
    GetCurrentDirectoryA(MAX_PATH, before);
    ASSERT_NE(std::string(before), ProgramFolder());
    ASSERT_NE(std::string(GetCommandLineA()).find("--gtest_filter"), std::string::npos);
    StartProgram();
    char after[MAX_PATH];
    GetCurrentDirectoryA(MAX_PATH, after);
    EXPECT_EQ(std::string(after), ProgramFolder());
    const DWORD attributes = GetFileAttributesA((ProgramFolder() + "\\satellite.ini").c_str());
    EXPECT_NE(attributes, INVALID_FILE_ATTRIBUTES);
}

namespace {
// The window's own DC is destroyed with the window, so what it holds is read
// right after WM_DESTROY has been handled, that is after Shutdown.
HGDIOBJ heldAfterShutdown[3];
LRESULT CALLBACK AfterDestroy(int code, WPARAM wParam, LPARAM lParam) {
    const auto* message = reinterpret_cast<CWPRETSTRUCT*>(lParam);
    if (code == HC_ACTION && message->message == WM_DESTROY && message->hwnd == App.MainWindow) {
        HDC dc = GetDC(message->hwnd);
        heldAfterShutdown[0] = GetCurrentObject(dc, OBJ_FONT);
        heldAfterShutdown[1] = GetCurrentObject(dc, OBJ_PEN);
        heldAfterShutdown[2] = GetCurrentObject(dc, OBJ_BRUSH);
        ReleaseDC(message->hwnd, dc);
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}
}  // namespace

TEST(Shutdown, RestoresTheSurfaceAndDeletesEveryObject) {
    HDC surface = GetDC(GetDesktopWindow());  // what a new DC holds
    HGDIOBJ stockFont = GetCurrentObject(surface, OBJ_FONT);
    HGDIOBJ stockPen = GetCurrentObject(surface, OBJ_PEN);
    HGDIOBJ stockBrush = GetCurrentObject(surface, OBJ_BRUSH);
    ReleaseDC(GetDesktopWindow(), surface);

    HWND window = StartProgram();
    HDC dc = App.WindowDC;
    ASSERT_NE(dc, nullptr);
    EXPECT_EQ(GetCurrentObject(dc, OBJ_PEN), App.SearchPen);
    EXPECT_EQ(GetCurrentObject(dc, OBJ_BRUSH), App.BarBrush);
    EXPECT_EQ(App.OriginalFont, stockFont);
    EXPECT_EQ(App.OriginalPen, stockPen);
    EXPECT_EQ(App.OriginalBrush, stockBrush);
    std::vector<HGDIOBJ> created = {App.EntryFont, App.TextFont, App.BigFont,
                                    App.SearchPen, App.ReadoutBrush, App.BarBrush};
    for (HRGN region : App.Buttons) created.push_back(region);
    for (HRGN region : App.KeypadKey) created.push_back(region);
    for (HGDIOBJ object : created) ASSERT_NE(GetObjectType(object), 0u);

    HHOOK hook = SetWindowsHookExA(WH_CALLWNDPROCRET, AfterDestroy, nullptr, GetCurrentThreadId());
    DestroyWindow(window);
    UnhookWindowsHookEx(hook);
    EXPECT_EQ(RunUntilQuit(), 0);
    for (HGDIOBJ object : created) EXPECT_EQ(GetObjectType(object), 0u) << object;
    EXPECT_EQ(heldAfterShutdown[0], stockFont);
    EXPECT_EQ(heldAfterShutdown[1], stockPen);
    EXPECT_EQ(heldAfterShutdown[2], stockBrush);
    EXPECT_EQ(App.WindowDC, nullptr);
    EXPECT_EQ(App.TunerControl, nullptr);
    EXPECT_EQ(App.TunerFilter, nullptr);
}

namespace {

// A stand-in poller that ends during the second of Shutdown's 1000 ms waits:
// the flag is still set when the first one ends.
DWORD WINAPI EndThePollerInTheSecondWait(void* seen) {
    SleepForRealOnThisThread();
    bool first = WaitForHeldSleep(kGiveUpMs) && App.RunMode.load() == ::Setup;
    HoldNextSleepOf(1000);
    ReleaseHeldSleep();
    *static_cast<bool*>(seen) = first && WaitForHeldSleep(kGiveUpMs);
    App.PollerRunning.store(0);
    ReleaseHeldSleep();
    return 0;
}

}  // namespace

TEST(Shutdown, WaitsForThePollerInWholeSeconds) {
    HWND window = StartProgram();
    App.RunMode.store(Measuring);
    App.PollerRunning.store(1);
    bool seen = false;
    ForgetSleepRequests();
    HoldNextSleepOf(1000);
    HANDLE poller = CreateThread(nullptr, 0, EndThePollerInTheSecondWait, &seen, 0, nullptr);
    DestroyWindow(window);
    const auto waits = SleepsOf(GetCurrentThreadId());
    WaitForSingleObject(poller, INFINITE);
    CloseHandle(poller);
    EXPECT_TRUE(seen);
    EXPECT_EQ(waits, (std::vector<DWORD>{1000, 1000}));
    EXPECT_EQ(App.RunMode.load(), ::Setup);
    EXPECT_EQ(App.PollerRunning.load(), 0);
    EXPECT_EQ(RunUntilQuit(), 0);
}

// An embedded image that does not unpack is refused with a message, and the
// program ends instead of drawing garbage.
TEST(Startup, MissingOrDamagedSkinIsRefused) {
    StartProgram();
    BITMAPINFO description = {};
    EXPECT_EQ(LoadSkinSheet("NOSUCHIMAGE", &description), nullptr);
    const auto boxes = TakeMessageBoxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].Caption, "Error");
    EXPECT_NE(boxes[0].Text.find("skin"), std::string::npos);
    EXPECT_FALSE(IsWindow(App.MainWindow));
    EXPECT_EQ(RunUntilQuit(), 0);
}
