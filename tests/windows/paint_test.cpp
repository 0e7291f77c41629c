// The painted window, pixel by pixel, against the skin sheet and the drawing
// each view should have. Every view is also saved for a person to look at.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "app/app_state.h"
#include "message_box_watcher.h"
#include "sim_tuner_support.h"
#include "skin/identity_paint.h"
#include "skin/faces.h"
#include "window_test_support.h"

namespace {

constexpr int kWidth = 350, kHeight = 200;
constexpr COLORREF kBarColour = RGB(240, 240, 255);
constexpr COLORREF kScreenColour = RGB(128, 197, 255);
constexpr COLORREF kStripColour = RGB(159, 211, 255);
constexpr COLORREF kTextColour = RGB(0, 0, 30);

struct Capture {
    std::vector<uint32_t> Pixels;  // 0x00RRGGBB, top row first
    COLORREF At(int x, int y) const {
        const uint32_t p = Pixels[y * kWidth + x];
        return RGB((p >> 16) & 0xFF, (p >> 8) & 0xFF, p & 0xFF);
    }
};

// A window-sized top-down 32-bit bitmap.
BITMAPINFOHEADER WindowBitmapHeader() {
    BITMAPINFOHEADER header = {};
    header.biSize = sizeof header;
    header.biWidth = kWidth;
    header.biHeight = -kHeight;
    header.biPlanes = 1;
    header.biBitCount = 32;
    return header;
}

// Runs a drawing on a window-sized bitmap and returns its pixels.
Capture DrawnInMemory(const std::function<void(HDC, uint32_t*)>& draw) {
    BITMAPINFO info = {};
    info.bmiHeader = WindowBitmapHeader();
    void* bits = nullptr;
    HDC memory = CreateCompatibleDC(App.WindowDC);
    HBITMAP bitmap = CreateDIBSection(memory, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ old = SelectObject(memory, bitmap);
    auto* words = static_cast<uint32_t*>(bits);
    draw(memory, words);
    GdiFlush();
    Capture capture;
    capture.Pixels.assign(words, words + kWidth * kHeight);
    SelectObject(memory, old);
    DeleteObject(bitmap);
    DeleteDC(memory);
    return capture;
}

// The window's surface as it is now.
Capture CopyWindow() {
    return DrawnInMemory([](HDC memory, uint32_t*) {
        BitBlt(memory, 0, 0, kWidth, kHeight, App.WindowDC, 0, 0, SRCCOPY);
    });
}

// Copies the window's surface and saves it as a bitmap file.
Capture CaptureWindow(const char* view) {
    const Capture capture = CopyWindow();
    const BITMAPINFOHEADER info = WindowBitmapHeader();
    CreateDirectoryA("artifacts", nullptr);
    const std::string path = std::string("artifacts\\") + view + ".bmp";
    if (FILE* file = fopen(path.c_str(), "wb")) {
        BITMAPFILEHEADER header = {};
        header.bfType = 0x4D42;
        header.bfOffBits = sizeof header + sizeof info;
        header.bfSize = header.bfOffBits + kWidth * kHeight * 4;
        fwrite(&header, sizeof header, 1, file);
        fwrite(&info, sizeof info, 1, file);
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

// The window face with one text drawn on it as the view should show it: the
// given font, colour and placement, on the sheet's own background.
Capture ExpectedText(HFONT font, COLORREF colour, const std::function<void(HDC)>& draw) {
    return DrawnInMemory([&](HDC memory, uint32_t* words) {
        for (int y = 0; y < kHeight; ++y)
            for (int x = 0; x < kWidth; ++x) {
                const COLORREF c = SheetPixel(x, y);
                words[y * kWidth + x] = (GetRValue(c) << 16) | (GetGValue(c) << 8) | GetBValue(c);
            }
        HGDIOBJ oldFont = SelectObject(memory, font);
        SetTextColor(memory, colour);
        SetBkMode(memory, TRANSPARENT);
        draw(memory);
        SelectObject(memory, oldFont);
    });
}

int Differences(const Capture& view, const Capture& expected, RECT area) {
    int differences = 0;
    for (int y = area.top; y < area.bottom; ++y)
        for (int x = area.left; x < area.right; ++x)
            differences += view.At(x, y) != expected.At(x, y);
    return differences;
}

void DrawCentred(HDC dc, const char* text, RECT area) {
    DrawTextA(dc, text, static_cast<int>(strlen(text)), &area, DT_CENTER | DT_WORDBREAK);
}

void Repaint() {
    InvalidateRect(App.MainWindow, nullptr, TRUE);
    UpdateWindow(App.MainWindow);
}

void ShowMeasuring(int32_t level, const char (&text)[4]) {
    App.RunMode.store(Measuring);
    ShowWindow(App.SatelliteCombo, SW_HIDE);
    App.SignalLevel.store(level);
    App.SignalLocked.store(level > 0 ? 1 : 0);  // as the poller publishes them: a level only under a lock
    App.LevelText.store(PackLevelText(text));
    memcpy(App.MeasureCaption, "HotBird1-6   13.0e              ", 32);
    Repaint();
}

bool IsRed(COLORREF c) { return GetRValue(c) > 200 && GetGValue(c) < 60 && GetBValue(c) < 60; }


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
    const Capture caption = ExpectedText(App.TextFont, kTextColour, [](HDC dc) {
        DrawCentred(dc, "Choose the satellite", App.CaptionArea);
    });
    EXPECT_EQ(Differences(view, caption, App.CaptionArea), 0);
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
    const Capture caption = ExpectedText(App.TextFont, kTextColour, [](HDC dc) {
        DrawCentred(dc, "Input transponder parameters", App.CaptionArea);
    });
    EXPECT_EQ(Differences(view, caption, App.CaptionArea), 0);
    // "12245H27500" in the entry font, centred in the strip.
    const Capture line = ExpectedText(App.EntryFont, kTextColour, [](HDC dc) {
        DrawCentred(dc, "12245H27500", App.BarArea);
    });
    EXPECT_EQ(Differences(view, line, App.BarArea), 0);
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
    const Capture readout = ExpectedText(App.TextFont, RGB(255, 0, 0), [](HDC dc) {
        TextOutA(dc, 160, 87, "00%", 3);
    });
    EXPECT_EQ(Differences(view, readout, RECT{100, 86, 250, 112}), 0);  // the red "00%"
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
    const Capture readout = ExpectedText(App.TextFont, kTextColour, [](HDC dc) {
        TextOutA(dc, 160, 87, "07%", 3);
    });
    EXPECT_EQ(Differences(view, readout, RECT{100, 86, 250, 114}), 0);  // dark text at a signal
    ShowMeasuring(100, "99%");
    view = CaptureWindow("measuring-level-100");
    EXPECT_EQ(view.At(306, 100), kBarColour);
    EXPECT_NE(view.At(307, 100), kBarColour);
}

// Every level, on both architectures: the edge is 42 + 265 * level / 100
// truncated (level 1: 44, 50: 174, 100: 307), however the processor computes.
TEST(Paint, BarEdgeAtEveryLevel) {
    StartPainted();
    for (int32_t level = 1; level <= 100; ++level) {
        SCOPED_TRACE(level);
        ShowMeasuring(level, "42%");
        const Capture view = CopyWindow();
        const int edge = 42 + 265 * level / 100;
        // Below the read-out's text cell, which ends at y 108.
        EXPECT_EQ(view.At(edge - 1, 110), kBarColour);
        EXPECT_NE(view.At(edge, 110), kBarColour);
    }
}

// A card that reports more than full scale: the bar ends at the strip's
// right edge and never runs on over the window's chrome.
TEST(Paint, BarStaysInsideTheStripBeyondFullScale) {
    StartPainted();
    for (int32_t level : {101, 150, INT32_MAX}) {
        SCOPED_TRACE(level);
        ShowMeasuring(level, "99%");
        const Capture view = CaptureWindow("measuring-level-over-100");
        EXPECT_EQ(view.At(306, 100), kBarColour);
        int outside = 0;
        for (int x = 307; x < kWidth; ++x) outside += view.At(x, 100) == kBarColour;
        EXPECT_EQ(outside, 0);
    }
    ShowMeasuring(-5, "00%");
    EXPECT_EQ(CaptureWindow("measuring-level-negative").At(42, 100), kStripColour);
}

// The big read-out: the two digits large on a backdrop that hides the bar,
// red while there is no signal.
Capture ExpectedBigReadout(const char* digits, COLORREF colour) {
    return ExpectedText(App.BigFont, colour, [digits](HDC dc) {
        HBRUSH backdrop = CreateSolidBrush(kScreenColour);
        FillRect(dc, &App.ReadoutBackdrop, backdrop);
        DeleteObject(backdrop);
        DrawCentred(dc, digits, App.BigReadoutArea);
    });
}

TEST(Paint, BigReadoutHidesTheBar) {
    StartPainted();
    App.BigReadout.store(1);
    ShowMeasuring(7, "07%");
    const Capture view = CaptureWindow("measuring-big-readout");
    EXPECT_EQ(Differences(view, ExpectedBigReadout("07", kTextColour), App.ReadoutBackdrop), 0);
    ShowMeasuring(0, "00%");
    const Capture searching = CaptureWindow("measuring-big-readout-no-signal");
    EXPECT_EQ(Differences(searching, ExpectedBigReadout("00", RGB(255, 0, 0)), App.ReadoutBackdrop), 0);
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

// The identity line, once the tuner's identity interface has said something:
// drawn in its own area in both measuring views, and nowhere else, so the
// caption, the bar and both read-outs stay as they are; while nothing is
// known, the window is as without it.
namespace {

void Publish(int16_t position, int16_t expected, uint8_t match, const char* name) {
    SatelliteIdentity identity;
    identity.Position = position;
    identity.Expected = expected;
    identity.Match = match;
    strncpy(identity.NetworkName, name, kNetworkNameBytes - 1);
    PublishIdentity(&App.Identity, identity);
}

int DifferencesOutside(const Capture& a, const Capture& b, RECT hole) {
    int differences = 0;
    for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < kWidth; ++x) {
            const bool inside = x >= hole.left && x < hole.right && y >= hole.top && y < hole.bottom;
            differences += !inside && a.At(x, y) != b.At(x, y);
        }
    return differences;
}

void ExpectLineInView(const char* view, const char* text, COLORREF colour, const char* network = "ASTRA 1") {
    SCOPED_TRACE(view);
    Publish(0, 0, IdentityUnknown, "");
    Repaint();
    const Capture plain = CaptureWindow((std::string(view) + "-no-identity").c_str());
    Publish(192, 130, IdentityMismatch, network);
    Repaint();
    const Capture shown = CaptureWindow(view);
    EXPECT_EQ(DifferencesOutside(shown, plain, kIdentityArea), 0);
    const Capture line = ExpectedText(App.TextFont, colour, [&](HDC dc) { DrawIdentityText(dc, text, colour); });
    EXPECT_EQ(Differences(shown, line, kIdentityArea), 0);
    EXPECT_GT(Differences(shown, plain, kIdentityArea), 20);  // there is a line to see
}

}  // namespace

// Another satellite: which way the wanted one lies is said where the area
// has room for it, and left out where it has not.
TEST(Paint, IdentityLineCoversNeitherCaptionNorBarNorReadout) {
    StartPainted();
    ShowMeasuring(50, "50%");
    ExpectLineInView("measuring-identity-mismatch", "not 13.0E: this is 19.2E, ASTRA 1; turn west", RGB(190, 0, 0));
    const char kLongName[] = "Eutelsat Hot Bird Network Italia";
    ExpectLineInView("measuring-identity-mismatch-long", "not 13.0E: this is 19.2E, Eutelsat Hot Bird Network Italia",
                     RGB(190, 0, 0), kLongName);
    App.BigReadout.store(1);
    ExpectLineInView("measuring-big-identity-mismatch", "not 13.0E: this is 19.2E, ASTRA 1; turn west", RGB(190, 0, 0));
}

TEST(Paint, NoIdentityLineWhileNothingIsKnown) {
    StartPainted();
    ShowMeasuring(50, "50%");
    const Capture before = CopyWindow();
    // A name without a position is not an identity: still nothing.
    Publish(kPositionUnknown, 130, IdentityUnknown, "ASTRA 1");
    Repaint();
    EXPECT_EQ(DifferencesOutside(CopyWindow(), before, RECT{0, 0, 0, 0}), 0);
}

// The lock gone before the poller has cleared the identity (or a repaint
// between the two): the window claims nothing, whatever is published.
TEST(Paint, NoIdentityLineWithoutTheLock) {
    StartPainted();
    ShowMeasuring(50, "50%");
    Publish(192, 130, IdentityMismatch, "ASTRA 1");
    App.SignalLocked.store(0);
    Repaint();
    const Capture unlocked = CopyWindow();
    Publish(0, 0, IdentityUnknown, "");
    Repaint();
    EXPECT_EQ(Differences(unlocked, CopyWindow(), kIdentityArea), 0);
    App.SignalLocked.store(1);
    Publish(192, 130, IdentityMismatch, "ASTRA 1");
    Repaint();
    EXPECT_GT(Differences(CopyWindow(), unlocked, kIdentityArea), 20);  // under the lock the line is there
}
