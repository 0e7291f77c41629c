// Which sounds the feedback thread plays, and in what order and spacing,
// by sound mode and language, against a timeline of the simulated tuner.
#include <gtest/gtest.h>

#include <windows.h>
#include <mmsystem.h>

#include <cstring>

#include "app/actions.h"
#include "app/app_state.h"
#include "sim_tuner_support.h"
#include "sound_recorder.h"
#include "window_test_support.h"

namespace {

const void* Digit(int language, int digit) { return App.DigitSounds[language * 10 + digit]; }

std::vector<PlayedSound> MeasureFor(const char* script, int16_t mode, int16_t language,
                                    DWORD milliseconds) {
    EXPECT_TRUE(InstallSoundRecorder());
    UseSimulatedTuner(script);
    StartProgram();
    App.SoundMode.store(mode);
    App.VoiceLanguage.store(language);
    SendMessageA(App.SatelliteCombo, CB_SETCURSEL, 53, 0);
    EXPECT_EQ(StartAction(), Accepted);
    PumpMessages(milliseconds);
    StopMeasurement();
    return PlayedSounds();
}

}  // namespace

TEST(Feedback, SoundResourcesAreLoaded) {
    UseSimulatedTuner("latency 0\n");
    StartProgram();
    ASSERT_NE(App.ToneSound, nullptr);
    EXPECT_EQ(memcmp(App.ToneSound, "RIFF", 4), 0);
    for (const void* digit : App.DigitSounds) {
        ASSERT_NE(digit, nullptr);
        EXPECT_EQ(memcmp(static_cast<const char*>(digit) + 8, "WAVE", 4), 0);
    }
}

TEST(Feedback, ToneRepeatsWhileThereIsASignal) {
    const auto played = MeasureFor("latency 2\nat 0 lock 1 level 60\n", Tone, English, 3500);
    ASSERT_GE(played.size(), 2u);
    for (const PlayedSound& sound : played) {
        EXPECT_EQ(sound.Image, App.ToneSound);
        EXPECT_EQ(sound.Flags, static_cast<UINT>(SND_ASYNC | SND_NODEFAULT | SND_MEMORY));
    }
    EXPECT_GE(played[1].At - played[0].At, 1550u);  // 400 ms after the tone, then the cadence
}

TEST(Feedback, VoiceSpeaksBothDigitsInTheChosenLanguage) {
    const auto played = MeasureFor("latency 2\nat 0 lock 1 level 47\n", Voice, English, 2500);
    ASSERT_GE(played.size(), 2u);
    EXPECT_EQ(played[0].Image, Digit(0, 4));
    EXPECT_EQ(played[1].Image, Digit(0, 7));
    EXPECT_GE(played[1].At - played[0].At, 580u);
}

// The language is taken once per reading: a switch between the two digits
// is heard from the next reading on.
TEST(Feedback, LanguageSwitchTakesEffectAtTheNextReading) {
    EXPECT_TRUE(InstallSoundRecorder());
    UseSimulatedTuner("latency 2\nat 0 lock 1 level 47\n");
    StartProgram();
    App.SoundMode.store(Voice);
    SendMessageA(App.SatelliteCombo, CB_SETCURSEL, 53, 0);
    ASSERT_EQ(StartAction(), Accepted);
    PumpMessages(300);
    App.VoiceLanguage.store(Russian);
    PumpMessages(2300);
    StopMeasurement();
    const auto played = PlayedSounds();
    ASSERT_GE(played.size(), 3u);
    EXPECT_EQ(played[0].Image, Digit(0, 4));
    EXPECT_EQ(played[1].Image, Digit(0, 7));
    EXPECT_EQ(played[2].Image, Digit(1, 4));
}

// A sound missing from the program is played as nothing, which also stops
// the one before it.
TEST(Feedback, MissingSoundPlaysNothing) {
    EXPECT_TRUE(InstallSoundRecorder());
    UseSimulatedTuner("latency 2\nat 0 lock 1 level 60\n");
    StartProgram();
    App.ToneSound = nullptr;
    SendMessageA(App.SatelliteCombo, CB_SETCURSEL, 53, 0);
    ASSERT_EQ(StartAction(), Accepted);
    PumpMessages(500);
    StopMeasurement();
    const auto played = PlayedSounds();
    ASSERT_GE(played.size(), 1u);
    EXPECT_EQ(played[0].Image, nullptr);
    EXPECT_EQ(played[0].Flags, static_cast<UINT>(SND_ASYNC | SND_NODEFAULT | SND_MEMORY));
}

TEST(Feedback, RussianSpeaksTheLeadingZeroToo) {
    const auto played = MeasureFor("latency 2\nat 0 lock 1 level 5\n", Voice, Russian, 2500);
    ASSERT_GE(played.size(), 2u);
    EXPECT_EQ(played[0].Image, Digit(1, 0));
    EXPECT_EQ(played[1].Image, Digit(1, 5));
}

TEST(Feedback, SilentAndNoSignalPlayNothing) {
    EXPECT_TRUE(MeasureFor("latency 2\nat 0 lock 1 level 60\n", Silent, English, 2000).empty());
}

TEST(Feedback, NoSignalPlaysNothingInAnyMode) {
    EXPECT_TRUE(MeasureFor("latency 2\nat 0 lock 0 level 0\n", Tone, English, 2000).empty());
}
