// Which sounds the feedback thread plays, and in what order and spacing,
// by sound mode and language, against a timeline of the simulated tuner.
#include <gtest/gtest.h>

#include <windows.h>
#include <mmsystem.h>

#include <cstring>

#include "app/actions.h"
#include "app/app_state.h"
#include "app/resources.h"
#include "sim_tuner_support.h"
#include "sound_recorder.h"
#include "window_test_support.h"

namespace {

// The embedded sound of a digit, found by its resource name, so that a mix-up
// in the program's own table shows.
std::string DigitName(int language, int digit) {
    return std::string(language ? "RU" : "EN") + static_cast<char>('0' + digit);
}

const void* Digit(int language, int digit) {
    return LockProgramResource(DigitName(language, digit).c_str(), nullptr);
}

std::vector<PlayedSound> MeasureFor(const char* script, int16_t mode, int16_t language,
                                    DWORD milliseconds, bool fast = false) {
    EXPECT_TRUE(InstallSoundRecorder());
    UseSimulatedTuner(script);
    StartProgram();
    App.SoundMode.store(mode);
    App.VoiceLanguage.store(language);
    EXPECT_EQ(StartHotBird(), Accepted);
    if (fast) ModeAction();  // SLOW -> FAST: 900 ms between cycles
    PumpMessages(milliseconds);
    StopMeasurement();
    return PlayedSounds();
}

std::string SourceFile(const char* name) {
    return ReadWholeFile(std::string(ZENTRIK_SOURCE_DIR "/resources/sounds/") + name);
}

}  // namespace

// Each embedded sound is its file from the repository, byte for byte.
TEST(Feedback, EmbeddedSoundsAreTheSoundFiles) {
    UseSimulatedTuner("latency 0\n");
    StartProgram();
    for (int language = 0; language < 2; ++language)
        for (int digit = 0; digit < 10; ++digit) {
            const std::string name = DigitName(language, digit);
            const std::string file = SourceFile((name + ".wav").c_str());
            uint32_t size = 0;
            const uint8_t* image = LockProgramResource(name.c_str(), &size);
            ASSERT_NE(image, nullptr) << name;
            ASSERT_FALSE(file.empty()) << name;
            EXPECT_EQ(std::string(reinterpret_cast<const char*>(image), size), file) << name;
            EXPECT_EQ(App.DigitSounds[language * 10 + digit], image) << name;
        }
    uint32_t size = 0;
    const uint8_t* tone = LockProgramResource("TONE", &size);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(tone), size), SourceFile("TONE.wav"));
    EXPECT_EQ(App.ToneSound, tone);
}

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
    ASSERT_EQ(StartHotBird(), Accepted);
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
    ASSERT_EQ(StartHotBird(), Accepted);
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

TEST(Feedback, FastCadenceShortensEachCycleBy300Milliseconds) {
    const auto tones = MeasureFor("latency 2\nat 0 lock 1 level 60\n", Tone, English, 2900, true);
    ASSERT_GE(tones.size(), 2u);
    EXPECT_GE(tones[1].At - tones[0].At, 1250u);  // 400 ms after the tone, then 900
    EXPECT_LT(tones[1].At - tones[0].At, 1500u);
}

TEST(Feedback, FastCadenceVoice) {
    const auto words = MeasureFor("latency 2\nat 0 lock 1 level 47\n", Voice, English, 2200, true);
    ASSERT_GE(words.size(), 3u);
    EXPECT_EQ(words[2].Image, Digit(0, 4));
    EXPECT_GE(words[2].At - words[0].At, 1450u);  // 600 ms between the digits, then 900
    EXPECT_LT(words[2].At - words[0].At, 1700u);
}

namespace {

// Silent and muted keep their cycle but play nothing; so does every mode
// while there is no signal.
void ExpectSilenceThrough(const char* script, std::initializer_list<int16_t> modes) {
    EXPECT_TRUE(InstallSoundRecorder());
    UseSimulatedTuner(script);
    StartProgram();
    App.SoundMode.store(*modes.begin());
    ASSERT_EQ(StartHotBird(), Accepted);
    for (int16_t mode : modes) {
        App.SoundMode.store(mode);
        PumpMessages(1300);
    }
    StopMeasurement();
    EXPECT_TRUE(PlayedSounds().empty());
    EXPECT_EQ(App.FeedbackRunning.load(), 0);
}

}  // namespace

TEST(Feedback, SilentAndMutedPlayNothing) {
    ExpectSilenceThrough("latency 2\nat 0 lock 1 level 60\n", {Silent, Muted});
}

TEST(Feedback, NoSignalPlaysNothingInAnyMode) {
    ExpectSilenceThrough("latency 2\nat 0 lock 0 level 0\n", {Tone, Voice, Silent, Muted});
}
