// Measurements against the simulated tuner: the poller's readings, the areas
// it repaints, the start/stop handshake and the release at shutdown.
#include <gtest/gtest.h>

#include <functional>

#include "app/actions.h"
#include "app/app_state.h"
#include "message_box_watcher.h"
#include "sim_tuner_support.h"
#include "window_test_support.h"

namespace {

std::string Text() {
    char text[4];
    ReadLevelText(App.LevelText, text);
    return std::string(text, 3);
}

bool WaitFor(const std::function<bool()>& condition, DWORD milliseconds) {
    const ULONGLONG end = GetTickCount64() + milliseconds;
    while (GetTickCount64() < end) {
        if (condition()) return true;
        PumpMessages(5);
    }
    return condition();
}

void StartListMeasurement() {
    ASSERT_EQ(StartHotBird(), Accepted);
}

bool SameRect(const RECT& a, const RECT& b) {
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

}  // namespace

TEST(SignalPoller, FollowsLockAndLevel) {
    UseSimulatedTuner("latency 2\n"
                      "at 0 lock 1 level 5\nat 600 lock 1 level 7\nat 1200 lock 1 level 42\n"
                      "at 1800 lock 1 level 99\nat 2400 lock 1 level 100\n"
                      "at 3000 lock 1 level -4\nat 3600 lock 1 level 37\n"
                      "at 4200 lock 0 level 37\n");
    StartProgram();
    App.SoundMode.store(Silent);
    StartListMeasurement();
    const struct {
        int32_t Level;
        const char* Text;
    } readings[] = {{5, "05%"}, {7, "07%"}, {42, "42%"}, {99, "99%"},
                    {100, "99%"}, {-4, "00%"}, {37, "37%"}, {0, "00%"}};
    for (const auto& reading : readings) {
        SCOPED_TRACE(reading.Level);
        EXPECT_TRUE(WaitFor([&] { return App.SignalLevel.load() == reading.Level; }, 3000));
        EXPECT_TRUE(WaitFor([&] { return Text() == reading.Text; }, 500)) << Text();
    }
    StopMeasurement();
    EXPECT_EQ(Text(), "00%");
    EXPECT_EQ(App.SignalLevel.load(), 0);
    EXPECT_FALSE(LogHasOverlap());
}

// A card that answers a read without writing leaves the last level standing,
// so the bar and the sound go on rather than dropping to nothing.
TEST(SignalPoller, AReadThatWritesNothingKeepsTheLastLevel) {
    UseSimulatedTuner("latency 2\nat 0 lock 1 level 42\nat 400 lock 1 level -\n");
    StartProgram();
    App.SoundMode.store(Silent);
    StartListMeasurement();
    EXPECT_TRUE(WaitFor([] { return App.SignalLevel.load() == 42; }, 1000));
    PumpMessages(800);
    EXPECT_EQ(App.SignalLevel.load(), 42);
    EXPECT_EQ(Text(), "42%");
    StopMeasurement();
}

TEST(SignalPoller, RepaintsOnlyTheReadoutInView) {
    UseSimulatedTuner("latency 2\nat 0 lock 1 level 50\n");
    StartProgram();
    App.SoundMode.store(Silent);
    StartListMeasurement();
    ASSERT_TRUE(WaitFor([] { return App.SignalLevel.load() == 50; }, 3000));
    for (uint8_t big : {0, 1}) {
        App.BigReadout.store(big);
        PumpMessages(50);
        ValidateRect(App.MainWindow, nullptr);
        Sleep(100);  // the poller keeps asking while nothing is painted
        RECT pending;
        ASSERT_TRUE(GetUpdateRect(App.MainWindow, &pending, FALSE));
        EXPECT_TRUE(SameRect(pending, big ? App.BigReadoutArea : App.BarArea))
            << pending.left << "," << pending.top << "," << pending.right << "," << pending.bottom;
    }
    StopMeasurement();
}

// Losing the lock resets only a positive level: a level already at or below
// zero is left as the card last wrote it.
TEST(SignalPoller, LockLostBelowZeroWritesNothing) {
    UseSimulatedTuner("latency 2\nat 0 lock 1 level -4\nat 500 lock 0 level -4\n");
    StartProgram();
    App.SoundMode.store(Silent);
    StartListMeasurement();
    ASSERT_TRUE(WaitFor([] { return App.SignalLevel.load() == -4; }, 1000));
    PumpMessages(1000);
    EXPECT_EQ(App.SignalLevel.load(), -4);
    EXPECT_EQ(Text(), "00%");
    StopMeasurement();
}

// Without a signal the feedback thread keeps the searching line moving: it
// asks for the bar's strip even while the big read-out is shown, where the
// poller asks only for the read-out.
TEST(SignalPoller, NoSignalAnimatesTheStripUnderTheBigReadout) {
    UseSimulatedTuner("latency 2\nat 0 lock 0 level 0\n");
    StartProgram();
    StartListMeasurement();
    App.BigReadout.store(1);
    PumpMessages(100);
    HRGN pending = CreateRectRgn(0, 0, 0, 0);
    for (int round = 0; round < 3; ++round) {
        ValidateRect(App.MainWindow, nullptr);
        Sleep(100);
        ASSERT_NE(GetUpdateRgn(App.MainWindow, pending, FALSE), NULLREGION);
        EXPECT_TRUE(PtInRegion(pending, 50, 100)) << "the strip left of the read-out";
        EXPECT_TRUE(PtInRegion(pending, 150, 70)) << "the read-out";
    }
    DeleteObject(pending);
    StopMeasurement();
}

// A hundred quick start/stop rounds: every start waits for the previous
// workers, none overlap on the card, and both flags end clear.
TEST(Handshake, HundredQuickStartsAndStops) {
    UseSimulatedTuner("latency 0\nat 0 lock 0 level 0\n");
    StartProgram();
    for (int round = 0; round < 100; ++round) {
        SendMessageA(App.SatelliteCombo, CB_SETCURSEL, round % 100, 0);
        ASSERT_EQ(StartAction(), Accepted) << round;
        MiddleAction();
    }
    StopMeasurement();
    EXPECT_EQ(App.PollerRunning.load(), 0);
    EXPECT_EQ(App.FeedbackRunning.load(), 0);
    EXPECT_EQ(App.RunMode.load(), ::Setup);
    EXPECT_FALSE(LogHasOverlap());
    int fec = 0, tunings = 0;
    for (const std::string& call : TuningCalls(TunerLog())) {
        fec += call == "SetFec 6";
        tunings += call.rfind("SetDiseqc", 0) == 0;
    }
    EXPECT_EQ(fec, 1);  // once per run, never per transponder
    EXPECT_EQ(tunings, 100);
}

TEST(Handshake, ShutdownReleasesTheTunerOnlyAfterThePollerEnded) {
    UseSimulatedTuner("latency 20\nat 0 lock 1 level 60\n");
    StartProgram();
    App.SoundMode.store(Silent);
    StartListMeasurement();
    ASSERT_TRUE(WaitFor([] { return App.SignalLevel.load() == 60; }, 3000));
    DestroyWindow(App.MainWindow);
    EXPECT_EQ(App.PollerRunning.load(), 0);
    EXPECT_EQ(RunUntilQuit(), 0);
    const std::vector<TunerCall> log = TunerLog();
    size_t lastPoll = 0, release = 0;
    for (size_t i = 0; i < log.size(); ++i) {
        if (log[i].Method == "QueryLock" || log[i].Method == "ReadSignalLevel") lastPoll = i;
        if (log[i].Method == "Release") release = i;
    }
    ASSERT_GT(lastPoll, 0u);
    ASSERT_GT(release, 0u) << "the simulated tuner logs its final release";
    EXPECT_GT(release, lastPoll);
    EXPECT_FALSE(LogHasOverlap());
}
