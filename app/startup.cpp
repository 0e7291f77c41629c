#include "app/startup.h"

#include <objbase.h>
#include <cstring>
#include <initializer_list>

#include "app/app_state.h"
#include "app/resources.h"
#include "measure/identity_watch.h"
#include "measure/measurement.h"
#include "transponder/manual_entry.h"
#include "transponder/satellite_file.h"
#include "skin/controls.h"
#include "skin/drawing.h"
#include "skin/identity_paint.h"
#include "skin/skin_sheet.h"
#include "skin/window_proc.h"
#include "tuner/tuner_control.h"
#include "zentrik_version.h"

namespace {

constexpr char kWindowClassName[] = "ZentrikMainWindow";
constexpr char kWindowTitle[] = "Zentrik " ZENTRIK_VERSION;
constexpr int kIconResource = 142;
// The rounded outline's corner ellipse.
constexpr int kWindowCorner = 85;

void DeleteRegion(HRGN& region) {
    if (region) DeleteObject(region);
    region = nullptr;
}

// The regions, the fonts and the sheet, in the order start-up's steps made
// them undone; the surface gets back the font it had before start-up before
// the fonts are deleted.
void ReleaseRegionsFontsAndSheet() {
    for (HRGN& key : App.KeypadKey) DeleteRegion(key);
    for (ButtonRegion region : {LanguageButton, SoundButton, HomeButton, LeftButton,
                                MiddleButton, RightButton, MinimiseBox})
        DeleteRegion(App.Buttons[region]);
    if (App.OriginalFont) SelectObject(App.WindowDC, App.OriginalFont);
    for (HFONT* font : {&App.BigFont, &App.EntryFont, &App.TextFont}) {
        if (*font) DeleteObject(*font);
        *font = nullptr;
    }
    ReleaseIdentityFont();
    DeleteRegion(App.Buttons[CloseBox]);
    if (App.SkinSheetPixels) {
        HeapFree(GetProcessHeap(), 0, App.SkinSheetPixels);
        App.SkinSheetPixels = nullptr;
    }
}

// The surface gets back the pen and brush it had before start-up first.
void ReleasePenAndBrushes() {
    if (App.SearchPen) {
        SelectObject(App.WindowDC, App.OriginalPen);
        DeleteObject(App.SearchPen);
        App.SearchPen = nullptr;
    }
    if (App.BarBrush) {
        SelectObject(App.WindowDC, App.OriginalBrush);
        DeleteObject(App.BarBrush);
        DeleteObject(App.ReadoutBrush);
        App.BarBrush = App.ReadoutBrush = nullptr;
    }
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

// Every start-up step of the program, in the order the later ones rely on:
// the sheet before anything is drawn, the list before its key filter, the
// pen and brushes last.
void InitApplication() {
    CoInitialize(nullptr);
    App.WindowShape = CreateRoundRectRgn(0, 0, kWindowWidth, kWindowHeight, kWindowCorner,
                                         kWindowCorner);
    SetWindowRgn(App.MainWindow, App.WindowShape, TRUE);
    CreateButtonRegions();
    CreateFonts();
    App.SkinSheetPixels = LoadSkinSheet("IMGRES", &App.SkinSheetInfo);
    if (!App.SkinSheetPixels) return;  // the window is gone already
    CreateKeypadRegions();
    if (!EnsureSatelliteFile()) return;  // the window is gone already
    FillSatelliteCombo();
    InstallComboKeyFilter();
    CreateTooltips();
    SetDrawingRectangles();
    SetFocus(App.SatelliteCombo);
    LoadFeedbackSounds();
    App.DefaultEntry = LockProgramResource("TRP", &App.DefaultEntrySize);
    LoadDefaultEntry();
    CreatePenAndBrushes();
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
    const bool pollerWasRunning = App.PollerRunning.load() != 0;
    App.RunMode.store(Setup);
    if (pollerWasRunning) {
        do Sleep(1000); while (App.PollerRunning.load() != 0);
    }
    ReleaseRegionsFontsAndSheet();
    ReleasePenAndBrushes();
    // The tuner's interfaces before the filter they came from: the identity
    // interface, the control interface, then the filter.
    ReleaseTunerIdentity();
    ReleaseTunerControl();
    ReleaseDC(App.MainWindow, App.WindowDC);
    App.WindowDC = nullptr;
    CoUninitialize();
    PostQuitMessage(0);
}
