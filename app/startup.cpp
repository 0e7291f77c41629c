#include "app/startup.h"

#include <objbase.h>
#include <cstring>
#include <initializer_list>

#include "app/app_state.h"
#include "app/resources.h"
#include "measure/measurement.h"
#include "transponder/manual_entry.h"
#include "transponder/satellite_file.h"
#include "skin/drawing.h"
#include "skin/regions.h"
#include "skin/skin_sheet.h"
#include "skin/window_proc.h"
#include "tuner/tuner_control.h"
#include "zentrik_version.h"

namespace {

constexpr char kWindowClassName[] = "ZentrikMainWindow";
constexpr char kWindowTitle[] = "Zentrik " ZENTRIK_VERSION;
constexpr int kWindowWidth = 350;
constexpr int kWindowHeight = 200;
constexpr int kIconResource = 142;

void DeleteRegion(HRGN& region) {
    if (region) DeleteObject(region);
    region = nullptr;
}

}  // namespace

// The list file and the read-me are named relative to the working folder, so
// it must be the program's own folder. The folder is taken from the module
// path rather than by trimming the command line: trimming works only for a
// quoted path without arguments and a file name of one particular length.
void SetWorkingFolder() {
    char path[MAX_PATH];
    DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return;
    char* lastSlash = strrchr(path, '\\');
    if (!lastSlash) return;
    // Keep the backslash of a drive root ("C:\") so that it still names a folder.
    lastSlash[lastSlash == path + 2 && path[1] == ':' ? 1 : 0] = '\0';
    SetCurrentDirectoryA(path);
}

HWND CreateMainWindow(HINSTANCE instance, int showCommand) {
    WNDCLASSEXA windowClass = {};
    windowClass.cbSize = sizeof windowClass;
    windowClass.style = CS_VREDRAW | CS_HREDRAW | CS_DBLCLKS | CS_OWNDC;  // 0x2B
    windowClass.lpfnWndProc = MainWindowProc;
    windowClass.hInstance = instance;
    windowClass.hIcon = LoadIconA(instance, MAKEINTRESOURCEA(kIconResource));
    windowClass.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    windowClass.lpszClassName = kWindowClassName;
    RegisterClassExA(&windowClass);

    App.Instance = instance;
    App.MainWindow = CreateWindowExA(0, kWindowClassName, kWindowTitle, WS_POPUP,
                                     GetSystemMetrics(SM_CXSCREEN) / 2 - kWindowWidth / 2,
                                     GetSystemMetrics(SM_CYSCREEN) / 2 - kWindowHeight / 2,
                                     kWindowWidth, kWindowHeight, nullptr, nullptr, instance,
                                     nullptr);
    // CS_OWNDC: what is selected into this surface stays selected between messages.
    App.WindowDC = GetDC(App.MainWindow);
    ShowWindow(App.MainWindow, showCommand);
    InitApplication();
    UpdateWindow(App.MainWindow);
    // Without a working card there is nothing to measure.
    if (IsWindow(App.MainWindow) && CreateTunerControl()) DestroyWindow(App.MainWindow);
    return App.MainWindow;
}

void InitApplication() {
    CoInitialize(nullptr);                                                 // 1
    App.WindowShape = CreateRoundRectRgn(0, 0, 350, 200, 85, 85);          // 2
    SetWindowRgn(App.MainWindow, App.WindowShape, TRUE);
    CreateButtonRegions();                                                 // 3
    App.EntryFont = MakeFont(true, 26, 20, 700, nullptr);                  // 4
    App.TextFont = MakeFont(false, 22, 8, 400, nullptr);
    App.BigFont = MakeFont(false, 100, 70, 700, nullptr);
    App.OriginalFont = static_cast<HFONT>(SelectObject(App.WindowDC, App.TextFont));
    App.SkinSheetPixels = LoadSkinSheet("IMGRES", &App.SkinSheetInfo);    // 5
    if (!App.SkinSheetPixels) return;  // the window is gone already
    CreateKeypadRegions();                                                 // 6
    if (!EnsureSatelliteFile()) return;  // 7: the window is gone already
    FillSatelliteCombo();
    InstallComboKeyFilter();                                               // 8
    CreateTooltips();                                                      // 9
    SetDrawingRectangles();                                                // 10
    SetFocus(App.SatelliteCombo);                                          // 11
    LoadFeedbackSounds();                                                  // 12
    App.DefaultEntry = LockProgramResource("TRP", &App.DefaultEntrySize);    // 13
    LoadDefaultEntry();
    App.SearchPen = CreatePen(PS_SOLID, 2, RGB(255, 0, 0));                // 14
    App.OriginalPen = static_cast<HPEN>(SelectObject(App.WindowDC, App.SearchPen));
    App.ReadoutBrush = CreateSolidBrush(RGB(128, 197, 255));
    App.BarBrush = CreateSolidBrush(RGB(240, 240, 255));
    App.OriginalBrush = static_cast<HBRUSH>(SelectObject(App.WindowDC, App.BarBrush));
}

int RunMessageLoop() {
    // A failing GetMessageA (-1) ends the loop too, rather than spinning on it.
    MSG message = {};
    while (GetMessageA(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    return static_cast<int>(message.wParam);
}

void Shutdown() {
    // Stop signal first; the tuner may be released only once the poller is gone.
    const bool pollerWasRunning = App.PollerRunning.load() != 0;   // 1
    App.RunMode.store(Setup);
    if (pollerWasRunning) {                                        // 2
        do Sleep(1000); while (App.PollerRunning.load() != 0);
    }
    for (HRGN& key : App.KeypadKey) DeleteRegion(key);             // 3
    for (ButtonRegion region : {LanguageButton, SoundButton, HomeButton, LeftButton,
                                MiddleButton, RightButton, MinimiseBox})
        DeleteRegion(App.Buttons[region]);
    if (App.OriginalFont) SelectObject(App.WindowDC, App.OriginalFont);  // 4
    for (HFONT* font : {&App.BigFont, &App.EntryFont, &App.TextFont}) {
        if (*font) DeleteObject(*font);
        *font = nullptr;
    }
    DeleteRegion(App.Buttons[CloseBox]);                           // 5
    if (App.SkinSheetPixels) {                                     // 6
        HeapFree(GetProcessHeap(), 0, App.SkinSheetPixels);
        App.SkinSheetPixels = nullptr;
    }
    if (App.SearchPen) {                                           // 7
        SelectObject(App.WindowDC, App.OriginalPen);
        DeleteObject(App.SearchPen);
        App.SearchPen = nullptr;
    }
    if (App.BarBrush) {                                            // 8
        SelectObject(App.WindowDC, App.OriginalBrush);
        DeleteObject(App.BarBrush);
        DeleteObject(App.ReadoutBrush);
        App.BarBrush = App.ReadoutBrush = nullptr;
    }
    ReleaseTunerControl();                                         // 9
    ReleaseDC(App.MainWindow, App.WindowDC);                       // 10
    App.WindowDC = nullptr;
    CoUninitialize();                                              // 11
    PostQuitMessage(0);                                            // 12
}
