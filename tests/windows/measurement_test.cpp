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

// Polls logged by the simulated tuner that match: the script's later phases
// are waited for by what the card answered, not by the clock.
size_t PollsLogged(const char* method, const std::function<bool(const TunerCall&)>& match) {
    size_t count = 0;
    for (const TunerCall& call : TunerLog()) count += call.Method == method && match(call);
    return count;
}

void StartListMeasurement() {
    ASSERT_EQ(StartHotBird(), Accepted);
}

bool SameRect(const RECT& a, const RECT& b) {
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

}  // namespace

// Each reading holds until the test has seen it; then the next gate opens.
TEST(SignalPoller, FollowsLockAndLevel) {
    UseSimulatedTuner("latency 2\n"
                      "at 0 lock 1 level 5\non GATE:1 lock 1 level 7\non GATE:2 lock 1 level 42\n"
                      "on GATE:3 lock 1 level 99\non GATE:4 lock 1 level 100\n"
                      "on GATE:5 lock 1 level -4\non GATE:6 lock 1 level 37\n"
                      "on GATE:7 lock 0 level 37\n");
    StartProgram();
    App.SoundMode.store(Silent);
    StartListMeasurement();
    const struct {
        int32_t Level;
        const char* Text;
    } readings[] = {{5, "05%"}, {7, "07%"}, {42, "42%"}, {99, "99%"},
                    {100, "99%"}, {-4, "00%"}, {37, "37%"}, {0, "00%"}};
    int gate = 0;
    for (const auto& reading : readings) {
        SCOPED_TRACE(reading.Level);
        EXPECT_TRUE(PumpUntil([&] {
            return App.SignalLevel.load() == reading.Level && Text() == reading.Text;
        })) << App.SignalLevel.load() << " " << Text();
        OpenSimulatedGate(std::to_string(++gate));
    }
    StopMeasurement();
    EXPECT_EQ(Text(), "00%");
    EXPECT_EQ(App.SignalLevel.load(), 0);
    EXPECT_FALSE(LogHasOverlap());
}

// A card that answers a read without writing leaves the last level standing,
// so the bar and the sound go on rather than dropping to nothing.
TEST(SignalPoller, AReadThatWritesNothingKeepsTheLastLevel) {
    UseSimulatedTuner("latency 2\nat 0 lock 1 level 42\non GATE:silent lock 1 level -\n");
    StartProgram();
    App.SoundMode.store(Silent);
    StartListMeasurement();
    EXPECT_TRUE(PumpUntil([] { return App.SignalLevel.load() == 42; }));
    OpenSimulatedGate("silent");
    EXPECT_TRUE(PumpUntil([] {
        return PollsLogged("ReadSignalLevel", [](const TunerCall& c) { return c.Argument == "-"; }) >= 5;
    }));
    EXPECT_EQ(App.SignalLevel.load(), 42);
    EXPECT_EQ(Text(), "42%");
    StopMeasurement();
}

// Strength and quality apart, from the tuner's readings interface: published
// while locked, unknown without the lock (though the card still reports
// them), and unknown again once the measurement ends. The level is the
// tuner-control interface's, as ever.
TEST(SignalPoller, PublishesStrengthAndQualityWhileLocked) {
    UseSimulatedTuner("latency 2\nat 0 lock 1 level 64 strength 70 quality 30\n"
                      "on GATE:quality lock 1 level 64 quality 45\n"
                      "on GATE:lost lock 0 level 64 strength 70 quality 30\n");
    StartProgram();
    App.SoundMode.store(Silent);
    StartListMeasurement();
    EXPECT_TRUE(PumpUntil([] { return App.SignalStrength.load() == 70 && App.SignalQuality.load() == 30; }));
    EXPECT_EQ(App.SignalLevel.load(), 64);
    OpenSimulatedGate("quality");
    EXPECT_TRUE(PumpUntil([] {
        return App.SignalStrength.load() == kReadingUnknown && App.SignalQuality.load() == 45;
    })) << "a tuner that gives the quality alone";
    OpenSimulatedGate("lost");
    EXPECT_TRUE(PumpUntil([] { return App.SignalLocked.load() == 0; }));
    PumpMessages(50);
    EXPECT_EQ(App.SignalStrength.load(), kReadingUnknown);
    EXPECT_EQ(App.SignalQuality.load(), kReadingUnknown);
    StopMeasurement();
    EXPECT_EQ(App.TunerReadings, nullptr);
    EXPECT_FALSE(LogHasOverlap());
}

// A tuner without the interface: nothing is published but "unknown", and the
// level, the read-out and the tuner's calls are as they always were.
TEST(SignalPoller, ATunerWithoutTheReadingsChangesNothing) {
    UseSimulatedTuner("latency 2\nat 0 lock 1 level 64 strength 70 quality 30\nfail SignalReadings 0x80004002\n");
    StartProgram();
    App.SoundMode.store(Silent);
    StartListMeasurement();
    EXPECT_TRUE(PumpUntil([] { return App.SignalLevel.load() == 64 && Text() == "64%"; }));
    EXPECT_TRUE(PollUntil([] { return PollsLogged("ReadSignalLevel", [](const TunerCall&) { return true; }) >= 5; }));
    EXPECT_EQ(App.TunerReadings, nullptr);
    EXPECT_EQ(App.SignalStrength.load(), kReadingUnknown);
    EXPECT_EQ(App.SignalQuality.load(), kReadingUnknown);
    EXPECT_EQ(PollsLogged("QueryInterface", [](const TunerCall& c) {
        return c.Argument == "ISignalReadings" && c.Result == "0x80004002";
    }), 1u);
    StopMeasurement();
}

TEST(SignalPoller, RepaintsOnlyTheReadoutInView) {
    UseSimulatedTuner("latency 2\nat 0 lock 1 level 50\n");
    StartProgram();
    App.SoundMode.store(Silent);
    StartListMeasurement();
    ASSERT_TRUE(PumpUntil([] { return App.SignalLevel.load() == 50; }));
    for (uint8_t big : {0, 1}) {
        App.BigReadout.store(big);
        PumpMessages(50);
        ValidateRect(App.MainWindow, nullptr);
        // The poller keeps asking while nothing is painted: a few passes.
        const size_t polls = TunerLog().size();
        ASSERT_TRUE(PollUntil([&] { return TunerLog().size() >= polls + 10; }));
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
    UseSimulatedTuner("latency 2\nat 0 lock 1 level -4\non GATE:lost lock 0 level -4\n");
    StartProgram();
    App.SoundMode.store(Silent);
    StartListMeasurement();
    ASSERT_TRUE(PumpUntil([] { return App.SignalLevel.load() == -4; }));
    OpenSimulatedGate("lost");
    EXPECT_TRUE(PumpUntil([] {
        return PollsLogged("QueryLock", [](const TunerCall& c) { return c.Result != "0x00000000"; }) >= 5;
    }));
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
        bool strip = false, readout = false;
        PollUntil([&] {
            GetUpdateRgn(App.MainWindow, pending, FALSE);
            strip = PtInRegion(pending, 50, 100);
            readout = PtInRegion(pending, 150, 70);
            return strip && readout;
        });
        EXPECT_TRUE(strip) << "the strip left of the read-out";
        EXPECT_TRUE(readout) << "the read-out";
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
    ASSERT_TRUE(PumpUntil([] { return App.SignalLevel.load() == 60; }));
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
