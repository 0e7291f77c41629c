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

std::vector<COLORREF> StripPixels() {
    std::vector<COLORREF> pixels;
    for (int y = 86; y < 114; y += 2)
        for (int x = 42; x < 307; x += 2) pixels.push_back(GetPixel(App.WindowDC, x, y));
    return pixels;
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

// Outside typing the line is not drawn at all: not over the list, not over
// the bar; only clearing changes it, so that the keypad later starts empty.
TEST(ManualEntry, OnlyClearingActsOutsideTyping) {
    UseSimulatedTuner("latency 0\n");
    StartProgram();  // list mode
    PumpMessages(100);
    const auto list = StripPixels();
    TypeEntryChar('7', false);
    EraseEntryChar();
    EXPECT_EQ(Line(), "12245H27500  ");
    EXPECT_EQ(App.EntryLine.Position, 11);
    EXPECT_TRUE(StripPixels() == list);
    ClearEntryLine();
    EXPECT_EQ(Line(), std::string(13, ' '));
    EXPECT_EQ(App.EntryLine.Position, 0);
    EXPECT_TRUE(StripPixels() == list);
}

TEST(ManualEntry, WhileMeasuringOnlyClearingActs) {
    UseSimulatedTuner("latency 2\nat 0 lock 1 level 50\n");
    EnterManualMode();
    App.SoundMode.store(Silent);
    ASSERT_EQ(StartAction(), Accepted);  // the default line
    PumpMessages(300);
    const auto bar = StripPixels();
    TypeEntryChar('7', false);
    EraseEntryChar();
    EXPECT_EQ(Line(), "12245H27500  ");
    PumpMessages(100);
    EXPECT_TRUE(StripPixels() == bar);
    ClearEntryLine();
    EXPECT_EQ(Line(), std::string(13, ' '));
    PumpMessages(100);
    EXPECT_TRUE(StripPixels() == bar);
    StopMeasurement();
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

// The default line as the card receives it, in the fixed order of the steps.
TEST(ManualEntry, DefaultLineTunesInOrder) {
    UseSimulatedTuner("latency 0\n");
    EnterManualMode();
    EXPECT_EQ(Line(), "12245H27500  ");
    EXPECT_EQ(StartAction(), Accepted);
    StopMeasurement();
    const std::vector<std::string> calls = TuningCalls(TunerLog());
    const std::vector<std::string> expected = {"SetLnbSelection 1", "SetLnbFrequency 10600",
                                               "SetPolarity 0", "SetSymbolRate 27500",
                                               "SetTransponderFrequency 12245", "SetDiseqc 0"};
    ASSERT_GE(calls.size(), expected.size());
    EXPECT_EQ(std::vector<std::string>(calls.end() - expected.size(), calls.end()), expected);
}

// A line refused for its symbol rate has already stored its DiSEqC code, and
// the next list start tunes with it.
TEST(ManualEntry, RefusedLineLeavesItsDiseqcForTheNextListStart) {
    UseSimulatedTuner("latency 0\n");
    EnterManualMode();
    ClearEntryLine();
    for (char c : std::string("12245H0999A")) TypeEntryChar(c, false);
    EXPECT_EQ(StartAction(), Rejected);
    ModeAction();  // back to the list
    EXPECT_EQ(StartHotBird(), Accepted);
    StopMeasurement();
    const std::vector<std::string> calls = TuningCalls(TunerLog());
    ASSERT_FALSE(calls.empty());
    EXPECT_EQ(calls.back(), "SetDiseqc 1");
}
