#include "skin/window_proc.h"

#include <windows.h>
#include <commctrl.h>
#include <shellapi.h>

#include <initializer_list>

#include "app/actions.h"
#include "app/app_state.h"
#include "app/startup.h"
#include "app/list_renewal.h"
#include "skin/drawing.h"
#include "skin/controls.h"
#include "transponder/manual_entry.h"

namespace {

bool Inside(HRGN region) { return region && PtInRegion(region, App.PointerX, App.PointerY); }

void StorePointer(LPARAM lParam) {
    App.PointerX = static_cast<int16_t>(LOWORD(lParam));
    App.PointerY = static_cast<int16_t>(HIWORD(lParam));
}

// Draws the hover or normal face when the pointer enters or leaves a control;
// nothing while it stays on the same side. A control without a face in this
// state is left alone.
void TrackHover(ButtonRegion control) {
    if (!CurrentFaces(control)) return;
    uint8_t& flag = App.*kSkinControls[control].Hover;
    const bool inside = Inside(App.Buttons[control]);
    if (inside == (flag != 0)) return;
    DrawControlFace(control, inside);
    flag = inside ? 1 : 0;
}

void TrackKeypadKeys() {
    for (int key = 0; key < kKeypadKeyCount; ++key) {
        const bool inside = Inside(App.KeypadKey[key]);
        if (inside != (App.HoverKey[key] != 0)) {
            InvertRgn(App.WindowDC, App.KeypadKey[key]);
            App.HoverKey[key] = inside ? 1 : 0;
        }
    }
}

void OnMouseMove(LPARAM lParam) {
    StorePointer(lParam);
    for (ButtonRegion control : {CloseBox, MinimiseBox, LanguageButton, SoundButton, HomeButton})
        TrackHover(control);
    for (ButtonRegion button : BottomButtons())
        TrackHover(button);
    if (CurrentView() == ManualView) TrackKeypadKeys();
}

void StartAndReport() {
    if (StartAction() == Rejected)
        MessageBoxA(App.MainWindow, "Transponder parameters error", "Error", MB_OK);
}

void OnTopStripClick() {
    if (Inside(App.Buttons[CloseBox])) DestroyWindow(App.MainWindow);
    else if (Inside(App.Buttons[MinimiseBox])) CloseWindow(App.MainWindow);
    else if (App.PointerX < 270) SendMessageA(App.MainWindow, WM_NCLBUTTONDOWN, HTCAPTION, 0);
}

void OnLowerClick() {
    for (int key = 0; key < kKeypadKeyCount; ++key) {
        if (!Inside(App.KeypadKey[key])) continue;
        if (key < 14) TypeEntryChar(App.KeypadAlphabet[key], false);
        else if (key == 14) EraseEntryChar();
        else ClearEntryLine();
        return;
    }
    if (Inside(App.Buttons[LanguageButton])) {
        ToggleVoiceLanguage();
        DrawControlFace(LanguageButton, true);
    } else if (Inside(App.Buttons[SoundButton])) {
        if (App.SoundMode.load() == Muted) return;
        AdvanceSoundMode();
        DrawControlFace(SoundButton, true);
    } else if (Inside(App.Buttons[HomeButton])) {
        ShellExecuteA(App.MainWindow, "open", kHomePageAddress, nullptr, nullptr, SW_SHOWNORMAL);
    } else if (Inside(App.Buttons[LeftButton])) {
        ModeAction();
    } else if (Inside(App.Buttons[MiddleButton])) {
        MiddleAction();
    } else if (Inside(App.Buttons[RightButton])) {
        StartAndReport();
    }
}

void OnLeftButtonDown(LPARAM lParam) {
    StorePointer(lParam);
    if (App.PointerY < 24) OnTopStripClick();
    else OnLowerClick();
}

void OnKeyDown(WPARAM key) {
    switch (key) {
    case VK_BACK:
        if (App.RunMode.load() == Setup && App.InputMode == ManualMode) EraseEntryChar();
        else MiddleAction();
        break;
    case VK_RETURN: StartAndReport(); break;
    case VK_ESCAPE: DestroyWindow(App.MainWindow); break;
    case VK_DELETE: ClearEntryLine(); break;
    default: break;
    }
}

void OnChar(WPARAM code) {
    const char c = static_cast<char>(code);
    if (c >= '0' && c <= '9') {
        TypeEntryChar(c, false);
        return;
    }
    switch (c) {
    case 'A': case 'a': TypeEntryChar('A', false); break;
    case 'B': case 'b': TypeEntryChar('B', false); break;
    case 'H': case 'h': TypeEntryChar('H', false); break;
    case 'V': case 'v': TypeEntryChar('V', false); break;
    case 'M': case 'm':
        if (App.RunMode.load() == Setup) ModeAction();
        else MuteKey();
        break;
    default: break;
    }
}

void OnActivate() {
    if (App.RunMode.load() == Setup && App.InputMode == ListMode) SetFocus(App.SatelliteCombo);
}

void AddTooltip(HWND tooltips, ButtonRegion control) {
    TOOLINFOA tool = {};
    // The record up to lParam, without the fields newer common controls added:
    // 44 bytes in a 32-bit program, 64 in this one. Windows refuses a tool
    // whose record is too short for its pointers.
    tool.cbSize = TTTOOLINFOA_V2_SIZE;
    tool.uFlags = TTF_SUBCLASS;
    tool.hwnd = App.MainWindow;
    tool.uId = 0;
    tool.rect = TooltipArea(control);
    tool.hinst = App.Instance;
    tool.lpszText = const_cast<char*>(kSkinControls[control].Tip);
    SendMessageA(tooltips, TTM_ADDTOOLA, 0, reinterpret_cast<LPARAM>(&tool));
}

}  // namespace

LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_DESTROY: Shutdown(); return 0;
    case WM_ACTIVATE: OnActivate(); return 0;
    case WM_PAINT: PaintWindow(window); return 0;
    case WM_KEYDOWN: OnKeyDown(wParam); return 0;
    case WM_CHAR: OnChar(wParam); return 0;
    case WM_MOUSEMOVE: OnMouseMove(lParam); return 0;
    case WM_LBUTTONDOWN: OnLeftButtonDown(lParam); return 0;
    case WM_LBUTTONDBLCLK: ToggleBigReadout(); return 0;
    case WM_DROPFILES: OnDropFiles(reinterpret_cast<HDROP>(wParam)); return 0;
    default: return DefWindowProcA(window, message, wParam, lParam);
    }
}

LRESULT CALLBACK ComboKeyFilter(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_KEYDOWN) {
        const bool setup = App.RunMode.load() == Setup;
        if (wParam == 'M' && setup) ModeAction();
        else if (wParam == VK_DOWN && setup) SendMessageA(App.SatelliteCombo, CB_SHOWDROPDOWN, TRUE, 0);
        else if (wParam == VK_RETURN && setup) StartAction();  // a refusal has shown its own message
        else if (wParam == VK_ESCAPE) DestroyWindow(App.MainWindow);
        // Esc, or a tuning step that failed inside Enter, took the window and
        // the list with it: there is no list left to pass the key to.
        if (!IsWindow(window)) return 0;
    }
    return CallWindowProcA(App.SavedComboProc, window, message, wParam, lParam);
}

void InstallComboKeyFilter() {
    App.ComboKeyTarget = ChildWindowFromPoint(App.SatelliteCombo, POINT{0, 0});
    App.SavedComboProc = reinterpret_cast<WNDPROC>(SetWindowLongPtrA(
        App.ComboKeyTarget, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(ComboKeyFilter)));
}

void CreateTooltips() {
    INITCOMMONCONTROLSEX controls = {8, ICC_WIN95_CLASSES};
    InitCommonControlsEx(&controls);
    HWND tooltips = CreateWindowExA(0, "tooltips_class32", nullptr,
                                    WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX, 0, 0, 0, 0,
                                    App.MainWindow, nullptr, App.Instance, nullptr);
    for (int control = 0; control < kButtonRegionCount; ++control)
        if (kSkinControls[control].Tip) AddTooltip(tooltips, static_cast<ButtonRegion>(control));
}
