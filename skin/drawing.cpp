#include "skin/drawing.h"

#include "app/app_state.h"
#include "skin/colours.h"
#include "skin/identity_paint.h"

namespace {

constexpr char kBlankEntryLine[] = "             ";
static_assert(sizeof kBlankEntryLine - 1 == kEntryLength, "one blank per entry character");

HFONT MakeFont(bool fixedPitch, int height, int width, int weight) {
    LOGFONTA description = {};  // default face, ANSI character set
    description.lfHeight = height;
    description.lfWidth = width;
    description.lfWeight = weight;
    description.lfPitchAndFamily = fixedPitch ? FIXED_PITCH : 0;
    return CreateFontIndirectA(&description);
}

void DrawCentred(const char* text, int count, RECT area) {
    DrawTextA(App.WindowDC, text, count, &area, DT_CENTER | DT_WORDBREAK);
}

void PaintBottomButtons() {
    for (ButtonRegion button : BottomButtons())
        DrawControlFace(button, App.*kSkinControls[button].Hover != 0);
}

void PaintKeypadLegend() {
    for (int key = 0; key < kKeypadKeyCount; ++key) {
        const POINT at = KeypadLegendAt(key);
        TextOutA(App.WindowDC, at.x, at.y, &App.KeypadAlphabet[key], 1);
    }
}

void PaintSetup() {
    PaintBottomButtons();
    if (App.InputMode == ListMode) {
        DrawCentred("Choose the satellite", 20, App.CaptionArea);
        return;
    }
    DrawCentred("Input transponder parameters", 28, App.CaptionArea);
    PaintKeypadLegend();
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

// 2.65 pixels a percent from the strip's left edge, truncated: 265 * level
// / 100 in whole numbers. In floating point, level * 2.65 is only right when
// rounded to double precision; the x86 build's x87 unit keeps more bits and
// truncates 52.99... to 52 at level 20, so the bar fell one pixel short at
// every fifth level. Whole numbers give the same edge on any processor.
// A card may report more than 100 (or less than 0): the bar still ends inside
// the strip, never over the window's chrome.
LONG BarRightEdge(int32_t level) {
    const int32_t shown = level < 0 ? 0 : level > 100 ? 100 : level;
    return App.BarFill.left + shown * 265 / 100;
}

void PaintReadout() {
    char text[4];
    ReadLevelText(App.LevelText, text);
    if (App.BigReadout.load()) {
        FillRect(App.WindowDC, &App.ReadoutBackdrop, App.ReadoutBrush);
        SelectObject(App.WindowDC, App.BigFont);
        DrawCentred(text, 2, App.BigReadoutArea);
        SelectObject(App.WindowDC, App.TextFont);
    } else {
        TextOutA(App.WindowDC, 160, 87, text, 3);
    }
}

void PaintMeasuring() {
    const int32_t level = App.SignalLevel.load();
    if (level == 0) {
        PaintSearchLine();
    } else {
        App.BarFill.right = BarRightEdge(level);
        FillRect(App.WindowDC, &App.BarFill, App.BarBrush);
    }
    PaintReadout();  // in the colour the line or the text left: red without a signal
    SetTextColor(App.WindowDC, kTextColour);
    DrawCentred(App.MeasureCaption, 32, App.CaptionArea);
    PaintIdentityLine();  // only once the broadcast has said which satellite it is
    PaintBottomButtons();
}

}  // namespace

void CreateFonts() {
    App.EntryFont = MakeFont(true, 26, 20, 700);
    App.TextFont = MakeFont(false, 22, 8, 400);
    App.BigFont = MakeFont(false, 100, 70, 700);
    App.OriginalFont = static_cast<HFONT>(SelectObject(App.WindowDC, App.TextFont));
}

void CreatePenAndBrushes() {
    App.SearchPen = CreatePen(PS_SOLID, 2, kNoSignalColour);
    App.OriginalPen = static_cast<HPEN>(SelectObject(App.WindowDC, App.SearchPen));
    App.ReadoutBrush = CreateSolidBrush(kScreenColour);
    App.BarBrush = CreateSolidBrush(kBarColour);
    App.OriginalBrush = static_cast<HBRUSH>(SelectObject(App.WindowDC, App.BarBrush));
}

void SetDrawingRectangles() {
    SetRect(&App.BarArea, 42, 86, 307, 114);
    SetRect(&App.CaptionArea, 40, 40, 300, 80);
    SetRect(&App.BarFill, 42, 88, 42, 112);
    SetRect(&App.BigReadoutArea, 70, 60, 280, 150);
    SetRect(&App.ReadoutBackdrop, 38, 82, 310, 150);
    App.IdentityArea = kIdentityArea;
}

void DrawFace(const SheetFace& face, POINT at) {
    if (!App.SkinSheetPixels || face.Width == 0) return;
    // The sheet is stored bottom-up: its source origin is counted from the bottom.
    const LONG sheetHeight = App.SkinSheetInfo.bmiHeader.biHeight;
    StretchDIBits(App.WindowDC, at.x, at.y, face.Width, face.Height, face.X,
                  sheetHeight - face.Y - face.Height, face.Width, face.Height,
                  App.SkinSheetPixels, &App.SkinSheetInfo, DIB_RGB_COLORS, SRCCOPY);
}

void DrawControlFace(ButtonRegion control, bool hover) {
    const FacePair* faces = CurrentFaces(control);
    if (!faces) return;
    const SheetFace& face = hover ? faces->Hover : faces->Normal;
    DrawFace(face, FaceOrigin(control, face));
}

// 13 opaque blanks in the strip's colour wipe the old text, then the
// characters up to the one just stored are drawn over them.
void DrawEntryLine(int count) {
    SelectObject(App.WindowDC, App.EntryFont);
    SetBkColor(App.WindowDC, kEntryStripColour);
    SetTextColor(App.WindowDC, kTextColour);
    DrawCentred(kBlankEntryLine, kEntryLength, App.BarArea);
    DrawCentred(App.EntryLine.Text, count, App.BarArea);
    SetBkColor(App.WindowDC, kScreenColour);
}

void PaintWindow(HWND window) {
    PAINTSTRUCT paint;
    BeginPaint(window, &paint);
    SelectObject(App.WindowDC, App.TextFont);
    SetTextColor(App.WindowDC, kTextColour);
    SetBkMode(App.WindowDC, TRANSPARENT);
    DrawFace(kWindowFace, POINT{0, 0});
    DrawControlFace(MinimiseBox, false);
    DrawControlFace(CloseBox, false);
    if (App.RunMode.load() == Setup) PaintSetup();
    else PaintMeasuring();
    // Outside painting the entry line and the hover faces are drawn straight
    // to the surface and rely on the opaque mode.
    SetBkMode(App.WindowDC, OPAQUE);
    EndPaint(window, &paint);
}
