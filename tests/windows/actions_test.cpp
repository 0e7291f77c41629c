// The three button actions and the sound, language and mute controls, on the
// real window.
#include <gtest/gtest.h>

#include "app/actions.h"
#include "app/app_state.h"
#include "message_box_watcher.h"
#include "sleep_recorder.h"
#include "window_test_support.h"
#include "zentrik_version.h"

TEST(ModeAction, SwitchesInputModeInSetupAndBackWithTheListFocused) {
    StartProgram();
    ModeAction();
    EXPECT_EQ(App.InputMode, ManualMode);
    EXPECT_FALSE(IsWindowVisible(App.SatelliteCombo));
    EXPECT_EQ(GetFocus(), App.MainWindow);
    ModeAction();
    EXPECT_EQ(App.InputMode, ListMode);
    EXPECT_TRUE(IsWindowVisible(App.SatelliteCombo));
    EXPECT_EQ(GetFocus(), App.SatelliteCombo);
    EXPECT_EQ(App.Cadence.load(), 1200);
}

TEST(ModeAction, AlternatesCadenceWhileMeasuringAndKeepsInputMode) {
    StartProgram();
    App.RunMode.store(Measuring);
    ModeAction();
    EXPECT_EQ(App.Cadence.load(), 900);
    ModeAction();
    EXPECT_EQ(App.Cadence.load(), 1200);
    EXPECT_EQ(App.InputMode, ListMode);
    App.RunMode.store(::Setup);
}

TEST(MiddleAction, InListModeOpensTheListAndEndsTheProgram) {
    StartProgram();
    MiddleAction();
    EXPECT_FALSE(IsWindow(App.MainWindow));
    EXPECT_TRUE(CloseShellWindowNaming("satellite.ini"));
    EXPECT_EQ(RunUntilQuit(), 0);
}

// The editor is asked for the list even when it is gone; the window ends all
// the same.
TEST(MiddleAction, EndsTheProgramEvenWithoutTheListFile) {
    const std::string folder = NewTestFolder();
    StartProgramIn(folder);
    ASSERT_TRUE(DeleteFileA((folder + "\\satellite.ini").c_str()));
    MiddleAction();
    EXPECT_FALSE(IsWindow(App.MainWindow));
    EXPECT_EQ(RunUntilQuit(), 0);
    EXPECT_TRUE(TakeMessageBoxes().empty());
}

TEST(MiddleAction, InManualModeKeepsTheWindow) {
    StartProgram();
    ModeAction();
    MiddleAction();
    EXPECT_TRUE(CloseShellWindowNaming("ReadMe"));
    EXPECT_TRUE(IsWindow(App.MainWindow));
    EXPECT_EQ(App.InputMode, ManualMode);
    EXPECT_EQ(App.RunMode.load(), ::Setup);
}

TEST(MiddleAction, EndsAMeasurementWithoutWaiting) {
    StartProgram();
    ShowWindow(App.SatelliteCombo, SW_HIDE);
    App.RunMode.store(Measuring);
    App.PollerRunning.store(1);  // a worker that has not noticed yet
    ForgetSleepRequests();
    MiddleAction();
    EXPECT_EQ(SleepsOf(GetCurrentThreadId()), std::vector<DWORD>{});
    EXPECT_EQ(App.RunMode.load(), ::Setup);
    EXPECT_TRUE(IsWindowVisible(App.SatelliteCombo));
    EXPECT_EQ(GetFocus(), App.SatelliteCombo);
    App.PollerRunning.store(0);
}

TEST(StartAction, WhileMeasuringShowsTheAboutBoxAndChangesNothing) {
    StartProgram();
    App.RunMode.store(Measuring);
    EXPECT_EQ(StartAction(), Accepted);
    const auto boxes = TakeMessageBoxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].Owner, App.MainWindow);
    EXPECT_EQ(boxes[0].Caption, "About");
    EXPECT_EQ(boxes[0].Text.find("Zentrik " ZENTRIK_VERSION "\n"), 0u);
    EXPECT_NE(boxes[0].Text.find(ZENTRIK_COPYRIGHT), std::string::npos);
    EXPECT_EQ(boxes[0].Text.find("All rights reserved"), std::string::npos);
    EXPECT_EQ(boxes[0].Buttons, std::vector<std::string>{"OK"});
    EXPECT_EQ(boxes[0].Icon, nullptr);
    EXPECT_EQ(App.RunMode.load(), Measuring);
    EXPECT_EQ(App.InputMode, ListMode);
    App.RunMode.store(::Setup);
}

namespace {

// Stand-in workers that end while StartAction waits for them: each flag is
// cleared while the UI thread is held in one of its 200 ms waits, the
// poller's first, then the feedback thread's.
struct StandInWorkers {
    bool PollerWaitSeen = false;
    bool FeedbackWaitSeen = false;
    ULONGLONG FeedbackEndedAt = 0;
};

DWORD WINAPI EndWorkersDuringTheWaits(void* param) {
    SleepForRealOnThisThread();
    auto* workers = static_cast<StandInWorkers*>(param);
    workers->PollerWaitSeen = WaitForHeldSleep(kGiveUpMs);
    HoldNextSleepOf(200);  // armed again before the held wait goes on
    App.PollerRunning.store(0);
    ReleaseHeldSleep();
    workers->FeedbackWaitSeen = WaitForHeldSleep(kGiveUpMs);
    workers->FeedbackEndedAt = GetTickCount64();
    App.FeedbackRunning.store(0);
    ReleaseHeldSleep();
    return 0;
}

}  // namespace

// Right after a measurement ended its workers may still run: the start looks
// at the poller's flag, then the feedback flag, every 200 ms, and parses only
// when both are clear.
TEST(StartAction, ParsesOnlyAfterBothWorkersHaveEnded) {
    StartProgram();
    App.PollerRunning.store(1);
    App.FeedbackRunning.store(1);
    ForgetSleepRequests();
    StandInWorkers workers;
    HoldNextSleepOf(200);
    HANDLE thread = CreateThread(nullptr, 0, EndWorkersDuringTheWaits, &workers, 0, nullptr);
    // No satellite is chosen, so the parse step refuses with its message.
    EXPECT_EQ(StartAction(), RejectedReported);
    const auto waits = SleepsOf(GetCurrentThreadId());
    WaitForSingleObject(thread, INFINITE);
    CloseHandle(thread);
    EXPECT_TRUE(workers.PollerWaitSeen);
    EXPECT_TRUE(workers.FeedbackWaitSeen) << "the start went on while the feedback thread ran";
    EXPECT_EQ(waits, (std::vector<DWORD>{200, 200}));
    const auto boxes = TakeMessageBoxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].Text, "Please shoose the satellite!");
    EXPECT_EQ(boxes[0].Caption, "Attention!");
    EXPECT_GE(boxes[0].SeenAt, workers.FeedbackEndedAt);
    EXPECT_EQ(App.RunMode.load(), ::Setup);
}

namespace {

DWORD WINAPI EndBothWorkersDuringTheFirstWait(void* seen) {
    SleepForRealOnThisThread();
    *static_cast<bool*>(seen) = WaitForHeldSleep(kGiveUpMs);
    App.PollerRunning.store(0);
    App.FeedbackRunning.store(0);
    ReleaseHeldSleep();
    return 0;
}

}  // namespace

// The waits are whole 200 ms steps: workers that end during the first step
// are noticed at its end, with no further wait.
TEST(StartAction, WaitsInStepsOf200Milliseconds) {
    StartProgram();
    App.PollerRunning.store(1);
    App.FeedbackRunning.store(1);
    ForgetSleepRequests();
    bool seen = false;
    HoldNextSleepOf(200);
    HANDLE thread = CreateThread(nullptr, 0, EndBothWorkersDuringTheFirstWait, &seen, 0, nullptr);
    EXPECT_EQ(StartAction(), RejectedReported);
    const auto waits = SleepsOf(GetCurrentThreadId());
    WaitForSingleObject(thread, INFINITE);
    CloseHandle(thread);
    EXPECT_TRUE(seen);
    EXPECT_EQ(waits, std::vector<DWORD>{200});
    EXPECT_EQ(TakeMessageBoxes().size(), 1u);
}

TEST(SoundControls, SoundButtonCyclesAndLeavesMutedAlone) {
    StartProgram();
    AdvanceSoundMode();
    EXPECT_EQ(App.SoundMode.load(), Voice);
    AdvanceSoundMode();
    EXPECT_EQ(App.SoundMode.load(), Silent);
    AdvanceSoundMode();
    EXPECT_EQ(App.SoundMode.load(), Tone);
    App.SoundMode.store(Muted);
    AdvanceSoundMode();
    EXPECT_EQ(App.SoundMode.load(), Muted);
}

TEST(SoundControls, LanguageButtonToggles) {
    StartProgram();
    ToggleVoiceLanguage();
    EXPECT_EQ(App.VoiceLanguage.load(), Russian);
    ToggleVoiceLanguage();
    EXPECT_EQ(App.VoiceLanguage.load(), English);
}

TEST(SoundControls, MuteKeyWorksOnlyWhileMeasuringAndRestoresTheSavedMode) {
    StartProgram();
    App.SoundMode.store(Voice);
    MuteKey();
    EXPECT_EQ(App.SoundMode.load(), Voice);  // not measuring
    App.RunMode.store(Measuring);
    MuteKey();
    EXPECT_EQ(App.SoundMode.load(), Muted);
    MuteKey();
    EXPECT_EQ(App.SoundMode.load(), Voice);
    // From Silent with nothing muted before, the saved mode is the initial Tone.
    App.SavedSoundMode = Tone;
    App.SoundMode.store(Silent);
    MuteKey();
    EXPECT_EQ(App.SoundMode.load(), Tone);
    App.RunMode.store(::Setup);
}

TEST(SoundControls, DoubleClickReadoutOnlyWhileMeasuring) {
    StartProgram();
    ToggleBigReadout();
    EXPECT_EQ(App.BigReadout.load(), 0);
    App.RunMode.store(Measuring);
    ToggleBigReadout();
    EXPECT_EQ(App.BigReadout.load(), 1);
    ToggleBigReadout();
    EXPECT_EQ(App.BigReadout.load(), 0);
    App.RunMode.store(::Setup);
}
