// The typed transponder line on the real window: editing, drawing, starting.
#include <gtest/gtest.h>

#include "app/actions.h"
#include "app/app_state.h"
#include "message_box_watcher.h"
#include "sim_tuner_support.h"
#include "transponder/manual_entry.h"
#include "window_test_support.h"

namespace {

constexpr COLORREF kStripColour = RGB(159, 211, 255);

std::string Line() { return std::string(App.EntryLine.Text, 13); }

// Counts the dark text pixels inside the entry strip, read back from the
// window's surface.
int DarkPixelsInStrip() {
    int dark = 0;
    for (int y = 88; y < 112; y += 1)
        for (int x = 44; x < 305; x += 1) {
            const COLORREF c = GetPixel(App.WindowDC, x, y);
            if (GetRValue(c) < 80 && GetGValue(c) < 80) ++dark;
        }
    return dark;
}

void EnterManualMode() {
    StartProgram();
    ModeAction();
    PumpMessages(100);
}

}  // namespace

TEST(ManualEntry, TypingDrawsTheLineAtOnce) {
    UseSimulatedTuner("latency 0\n");
    EnterManualMode();
    ClearEntryLine();
    EXPECT_EQ(DarkPixelsInStrip(), 0);
    for (char c : std::string("12245H")) TypeEntryChar(c, false);
    const int six = DarkPixelsInStrip();
    EXPECT_GT(six, 0);
    TypeEntryChar('2', false);
    EXPECT_GT(DarkPixelsInStrip(), six);
    EXPECT_EQ(Line(), "12245H2      ");
    EXPECT_EQ(App.EntryLine.Position, 7);
    EraseEntryChar();
    EXPECT_EQ(DarkPixelsInStrip(), six);
    ClearEntryLine();
    EXPECT_EQ(DarkPixelsInStrip(), 0);
    EXPECT_EQ(Line(), std::string(13, ' '));
    EXPECT_EQ(GetPixel(App.WindowDC, 60, 100), kStripColour);
}

TEST(ManualEntry, OnlyClearingActsOutsideTyping) {
    UseSimulatedTuner("latency 0\n");
    StartProgram();  // list mode
    TypeEntryChar('7', false);
    EraseEntryChar();
    EXPECT_EQ(Line(), "12245H27500  ");
    EXPECT_EQ(App.EntryLine.Position, 11);
    ClearEntryLine();
    EXPECT_EQ(Line(), std::string(13, ' '));
    EXPECT_EQ(App.EntryLine.Position, 0);
}

TEST(ManualEntry, RefusedLineLeavesTheModesAsTheyWere) {
    UseSimulatedTuner("latency 0\n");
    EnterManualMode();
    ClearEntryLine();
    for (char c : std::string("374V29270")) TypeEntryChar(c, false);
    EXPECT_EQ(StartAction(), Rejected);
    EXPECT_EQ(App.RunMode.load(), ::Setup);
    EXPECT_EQ(App.InputMode, ManualMode);
    EXPECT_TRUE(TakeMessageBoxes().empty());  // the caller of StartAction reports it
}

TEST(ManualEntry, TypedLineTunesWithItsDiseqcAndALaterListStartKeepsIt) {
    UseSimulatedTuner("latency 1\nat 0 lock 1 level 50\n");
    EnterManualMode();
    ClearEntryLine();
    for (char c : std::string("3740V29270AB")) TypeEntryChar(c, false);
    EXPECT_EQ(StartAction(), Accepted);
    EXPECT_EQ(App.RunMode.load(), Measuring);
    EXPECT_EQ(std::string(App.MeasureCaption, 32),
              std::string(8, ' ') + "3740V29270AB " + std::string(11, ' '));
    StopMeasurement();
    std::vector<std::string> calls = TuningCalls(TunerLog());
    ASSERT_FALSE(calls.empty());
    EXPECT_EQ(calls.back(), "SetDiseqc 5");
    ModeAction();  // back to the list
    SendMessageA(App.SatelliteCombo, CB_SETCURSEL, 0, 0);  // AMC1, 3740v29270
    EXPECT_EQ(StartAction(), Accepted);
    StopMeasurement();
    calls = TuningCalls(TunerLog());
    const std::vector<std::string> expected = {"SetLnbSelection 0", "SetLnbFrequency 9750",
                                               "SetLnbFrequency 5150", "SetPolarity 1",
                                               "SetSymbolRate 29270", "SetTransponderFrequency 3740",
                                               "SetDiseqc 5"};
    ASSERT_GE(calls.size(), expected.size());
    EXPECT_EQ(std::vector<std::string>(calls.end() - expected.size(), calls.end()), expected);
    EXPECT_FALSE(LogHasOverlap());
}
