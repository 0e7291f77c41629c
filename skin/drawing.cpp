#include "skin/drawing.h"

#include "app/app_state.h"
#include "skin/faces.h"

namespace {

constexpr int kSheetHeight = 200;
constexpr COLORREF kTextColour = RGB(0, 0, 30);
constexpr COLORREF kNoSignalColour = RGB(255, 0, 0);

void DrawCentred(const char* text, int count, RECT area) {
    DrawTextA(App.WindowDC, text, count, &area, DT_CENTER | DT_WORDBREAK);
}

void PaintSetup() {
    DrawFace(kFind[App.HoverRight], kRightAt.x, kRightAt.y);
    if (App.InputMode == ListMode) {
        DrawFace(kMode0[App.HoverLeft], kLeftAt.x, kLeftAt.y);
        DrawFace(kEdit[App.HoverMiddle], kMiddleAt.x, kMiddleAt.y);
        DrawCentred("Choose the satellite", 20, App.CaptionArea);
        return;
    }
    DrawFace(kMode1[App.HoverLeft], kLeftAt.x, kLeftAt.y);
    DrawFace(kHelp[App.HoverMiddle], kMiddleAt.x, kMiddleAt.y);
    DrawCentred("Input transponder parameters", 28, App.CaptionArea);
    for (int key = 0; key < kKeypadKeyCount; ++key)
        TextOutA(App.WindowDC, 42 + 17 * key, 128, &App.KeypadAlphabet[key], 1);
    SelectObject(App.WindowDC, App.EntryFont);
    DrawCentred(App.EntryLine.Text, App.EntryLine.Position, App.BarArea);
}

// While there is no signal a red line runs along the bottom of the strip,
// one step per paint.
void PaintSearchLine() {
    SetTextColor(App.WindowDC, kNoSignalColour);
    MoveToEx(App.WindowDC, 42, 113, nullptr);
    LineTo(App.WindowDC, App.SweepX, 113);
    App.SweepX = static_cast<int16_t>(App.SweepX + 3);
    if (App.SweepX > 305) App.SweepX = 42;
}

void PaintMeasuring() {
    const int32_t level = App.SignalLevel.load();
    if (level == 0) {
        PaintSearchLine();
    } else {
        App.BarFill.right = static_cast<LONG>(level * 2.65 + 42.0);
        FillRect(App.WindowDC, &App.BarFill, App.BarBrush);
    }
    const char text[3] = {App.LevelText[0].load(), App.LevelText[1].load(),
                          App.LevelText[2].load()};
    if (App.BigReadout.load()) {
        FillRect(App.WindowDC, &App.ReadoutBackdrop, App.ReadoutBrush);
        SelectObject(App.WindowDC, App.BigFont);
        DrawCentred(text, 2, App.BigReadoutArea);
        SelectObject(App.WindowDC, App.TextFont);
    } else {
        TextOutA(App.WindowDC, 160, 87, text, 3);
    }
    SetTextColor(App.WindowDC, kTextColour);
    DrawCentred(App.MeasureCaption, 32, App.CaptionArea);
    DrawFace(kBack[App.HoverMiddle], kMiddleAt.x, kMiddleAt.y);
    const int32_t cadence = App.Cadence.load();
    if (cadence == 1200) DrawFace(kSlow[App.HoverLeft], kCadenceAt.x, kCadenceAt.y);
    else if (cadence == 900) DrawFace(kFast[App.HoverLeft], kCadenceAt.x, kCadenceAt.y);
    DrawFace(kAbout[App.HoverRight], kRightAt.x, kRightAt.y);
}

}  // namespace

HFONT MakeFont(bool fixedPitch, int height, int width, int weight, HWND window) {
    LOGFONTA description = {};  // default face, ANSI character set
    description.lfHeight = height;
    description.lfWidth = width;
    description.lfWeight = weight;
    description.lfPitchAndFamily = fixedPitch ? FIXED_PITCH : 0;
    HFONT font = CreateFontIndirectA(&description);
    if (window) SendMessageA(window, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
    return font;
}

void SetDrawingRectangles() {
    SetRect(&App.BarArea, 42, 86, 307, 114);
    SetRect(&App.CaptionArea, 40, 40, 300, 80);
    SetRect(&App.BarFill, 42, 88, 42, 112);
    SetRect(&App.BigReadoutArea, 70, 60, 280, 150);
    SetRect(&App.ReadoutBackdrop, 38, 82, 310, 150);
}

void DrawFace(const SheetFace& face, int x, int y) {
    if (!App.SkinSheetPixels) return;
    // The sheet is stored bottom-up: its source origin is counted from the bottom.
    StretchDIBits(App.WindowDC, x, y, face.Width, face.Height, face.X,
                  kSheetHeight - face.Y - face.Height, face.Width, face.Height,
                  App.SkinSheetPixels, &App.SkinSheetInfo, DIB_RGB_COLORS, SRCCOPY);
}

void PaintWindow(HWND window) {
    PAINTSTRUCT paint;
    BeginPaint(window, &paint);
    SelectObject(App.WindowDC, App.TextFont);
    SetTextColor(App.WindowDC, kTextColour);
    SetBkMode(App.WindowDC, TRANSPARENT);
    DrawFace(kWindowFace, 0, 0);
    DrawFace(kMinimise[0], kMinimiseAt.x, kMinimiseAt.y);
    DrawFace(kClose[0], kCloseAt.x, kCloseAt.y);
    if (App.RunMode.load() == Setup) PaintSetup();
    else PaintMeasuring();
    // Outside painting the entry line and the hover faces are drawn straight
    // to the surface and rely on the opaque mode.
    SetBkMode(App.WindowDC, OPAQUE);
    EndPaint(window, &paint);
}
