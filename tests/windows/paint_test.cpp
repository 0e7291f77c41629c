// The painted window, pixel by pixel, against the skin sheet and the drawing
// each view should have. Every view is also saved for a person to look at.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <vector>

#include "app/app_state.h"
#include "message_box_watcher.h"
#include "sim_tuner_support.h"
#include "skin/faces.h"
#include "window_test_support.h"

namespace {

constexpr int kWidth = 350, kHeight = 200;
constexpr COLORREF kBarColour = RGB(240, 240, 255);
constexpr COLORREF kScreenColour = RGB(128, 197, 255);
constexpr COLORREF kStripColour = RGB(159, 211, 255);

struct Capture {
    std::vector<uint32_t> Pixels;  // 0x00RRGGBB, top row first
    COLORREF At(int x, int y) const {
        const uint32_t p = Pixels[y * kWidth + x];
        return RGB((p >> 16) & 0xFF, (p >> 8) & 0xFF, p & 0xFF);
    }
};

// Copies the window's surface into a top-down 32-bit bitmap and saves it.
Capture CaptureWindow(const char* view) {
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = kWidth;
    info.bmiHeader.biHeight = -kHeight;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    void* bits = nullptr;
    HDC memory = CreateCompatibleDC(App.WindowDC);
    HBITMAP bitmap = CreateDIBSection(memory, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ old = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, kWidth, kHeight, App.WindowDC, 0, 0, SRCCOPY);
    GdiFlush();
    Capture capture;
    const auto* words = static_cast<const uint32_t*>(bits);
    capture.Pixels.assign(words, words + kWidth * kHeight);
    SelectObject(memory, old);
    DeleteObject(bitmap);
    DeleteDC(memory);

    CreateDirectoryA("artifacts", nullptr);
    const std::string path = std::string("artifacts\\") + view + ".bmp";
    if (FILE* file = fopen(path.c_str(), "wb")) {
        BITMAPFILEHEADER header = {};
        header.bfType = 0x4D42;
        header.bfOffBits = sizeof header + sizeof info.bmiHeader;
        header.bfSize = header.bfOffBits + kWidth * kHeight * 4;
        fwrite(&header, sizeof header, 1, file);
        fwrite(&info.bmiHeader, sizeof info.bmiHeader, 1, file);
        fwrite(capture.Pixels.data(), 4, capture.Pixels.size(), file);
        fclose(file);
    }
    return capture;
}

// How many pixels of a face differ from where it was drawn.
int FaceDifferences(const Capture& capture, const SheetFace& face, POINT at) {
    int differences = 0;
    for (int y = 0; y < face.Height; ++y)
        for (int x = 0; x < face.Width; ++x)
            differences += capture.At(at.x + x, at.y + y) != SheetPixel(face.X + x, face.Y + y);
    return differences;
}

void Repaint() {
    InvalidateRect(App.MainWindow, nullptr, TRUE);
    UpdateWindow(App.MainWindow);
}

void ShowMeasuring(int32_t level, const char* text) {
    App.RunMode.store(Measuring);
    ShowWindow(App.SatelliteCombo, SW_HIDE);
    App.SignalLevel.store(level);
    for (int i = 0; i < 3; ++i) App.LevelText[i].store(text[i]);
    memcpy(App.MeasureCaption, "HotBird1-6   13.0e              ", 32);
    Repaint();
}

bool IsRed(COLORREF c) { return GetRValue(c) > 200 && GetGValue(c) < 60 && GetBValue(c) < 60; }

int RedPixels(const Capture& capture, RECT area) {
    int red = 0;
    for (int y = area.top; y < area.bottom; ++y)
        for (int x = area.left; x < area.right; ++x) red += IsRed(capture.At(x, y));
    return red;
}

void StartPainted() {
    UseSimulatedTuner("latency 0\n");
    StartProgram();
    ASSERT_NE(App.SkinSheetPixels, nullptr);
}

}  // namespace

TEST(Paint, SetupListShowsTheFaceAndItsButtons) {
    StartPainted();
    const Capture view = CaptureWindow("setup-list");
    EXPECT_EQ(FaceDifferences(view, kFind[0], kRightAt), 0);
    EXPECT_EQ(FaceDifferences(view, kMode0[0], kLeftAt), 0);
    EXPECT_EQ(FaceDifferences(view, kEdit[0], kMiddleAt), 0);
    EXPECT_EQ(FaceDifferences(view, kClose[0], kCloseAt), 0);
    EXPECT_EQ(FaceDifferences(view, kMinimise[0], kMinimiseAt), 0);
    // The window face left of the screen, below the rounded corner, is the sheet's own.
    EXPECT_EQ(FaceDifferences(view, SheetFace{0, 45, 30, 100}, POINT{0, 45}), 0);
    EXPECT_EQ(view.At(45, 125), kScreenColour);
}

TEST(Paint, SetupManualShowsTheKeypadAndTheEntryLine) {
    StartPainted();
    App.InputMode = ManualMode;
    ShowWindow(App.SatelliteCombo, SW_HIDE);
    Repaint();
    const Capture view = CaptureWindow("setup-manual");
    EXPECT_EQ(FaceDifferences(view, kMode1[0], kLeftAt), 0);
    EXPECT_EQ(FaceDifferences(view, kHelp[0], kMiddleAt), 0);
    EXPECT_EQ(FaceDifferences(view, kFind[0], kRightAt), 0);
    // "12245H27500" centred in the strip: dark text on the strip colour.
    int dark = 0;
    for (int x = 44; x < 305; ++x)
        for (int y = 88; y < 112; ++y) dark += GetRValue(view.At(x, y)) < 80;
    EXPECT_GT(dark, 200);
    EXPECT_EQ(view.At(44, 87), kStripColour);  // left of the centred text
    // Keypad legend characters at x 42 + 17i on y 128: something dark in each cell.
    for (int key = 0; key < 16; ++key) {
        int legend = 0;
        for (int x = 42 + 17 * key; x < 55 + 17 * key; ++x)
            for (int y = 128; y < 150; ++y) legend += GetRValue(view.At(x, y)) < 80;
        EXPECT_GT(legend, 3) << key;
    }
}

TEST(Paint, MeasuringWithoutSignalDrawsTheSearchingLine) {
    StartPainted();
    App.SweepX = 42;
    ShowMeasuring(0, "00%");
    for (int i = 0; i < 10; ++i) Repaint();  // each paint moves the end on by 3
    EXPECT_EQ(App.SweepX, 42 + 3 * 11);
    const Capture view = CaptureWindow("measuring-level-0");
    EXPECT_TRUE(IsRed(view.At(50, 113)));
    EXPECT_FALSE(IsRed(view.At(50, 109)));
    EXPECT_GT(RedPixels(view, RECT{155, 86, 200, 112}), 20);  // the red "00%"
    EXPECT_EQ(view.At(50, 100), kStripColour);                 // no bar
    EXPECT_EQ(FaceDifferences(view, kBack[0], kMiddleAt), 0);
    EXPECT_EQ(FaceDifferences(view, kSlow[0], kCadenceAt), 0);
    EXPECT_EQ(FaceDifferences(view, kAbout[0], kRightAt), 0);
}

TEST(Paint, SweepWrapsAfterTheStrip) {
    StartPainted();
    App.SweepX = 303;
    ShowMeasuring(0, "00%");
    EXPECT_EQ(App.SweepX, 42);
}

TEST(Paint, BarEdgeFollowsTheLevel) {
    StartPainted();
    ShowMeasuring(7, "07%");
    Capture view = CaptureWindow("measuring-level-7");
    EXPECT_EQ(view.At(42, 100), kBarColour);
    EXPECT_EQ(view.At(59, 100), kBarColour);
    EXPECT_NE(view.At(60, 100), kBarColour);
    EXPECT_EQ(view.At(50, 88), kBarColour);
    EXPECT_NE(view.At(50, 112), kBarColour);
    EXPECT_EQ(RedPixels(view, RECT{155, 86, 200, 112}), 0);  // dark blue text at a signal
    ShowMeasuring(100, "99%");
    view = CaptureWindow("measuring-level-100");
    EXPECT_EQ(view.At(306, 100), kBarColour);
    EXPECT_NE(view.At(307, 100), kBarColour);
}

TEST(Paint, BigReadoutHidesTheBar) {
    StartPainted();
    App.BigReadout.store(1);
    ShowMeasuring(7, "07%");
    const Capture view = CaptureWindow("measuring-big-readout");
    EXPECT_EQ(view.At(39, 83), kScreenColour);
    EXPECT_EQ(view.At(45, 100), kScreenColour);  // the bar is covered
    int digits = 0;
    for (int y = 60; y < 150; ++y)
        for (int x = 70; x < 280; ++x) digits += GetRValue(view.At(x, y)) < 80;
    EXPECT_GT(digits, 1000);
}

TEST(Paint, CadenceFaces) {
    StartPainted();
    App.Cadence.store(900);
    ShowMeasuring(30, "30%");
    const Capture fast = CaptureWindow("measuring-fast");
    EXPECT_EQ(FaceDifferences(fast, kFast[0], kCadenceAt), 0);
    App.Cadence.store(1200);
    Repaint();
    const Capture slow = CaptureWindow("measuring-slow");
    EXPECT_EQ(FaceDifferences(slow, kSlow[0], kCadenceAt), 0);
}

TEST(Paint, BottomButtonsKeepTheirHoverFaces) {
    StartPainted();
    App.HoverLeft = App.HoverMiddle = App.HoverRight = 1;
    Repaint();
    const Capture view = CaptureWindow("setup-list-hover");
    EXPECT_EQ(FaceDifferences(view, kMode0[1], kLeftAt), 0);
    EXPECT_EQ(FaceDifferences(view, kEdit[1], kMiddleAt), 0);
    EXPECT_EQ(FaceDifferences(view, kFind[1], kRightAt), 0);
    App.HoverLeft = App.HoverMiddle = App.HoverRight = 0;
}
