// Which sounds the feedback thread plays, and in what order and spacing,
// by sound mode and language, against a timeline of the simulated tuner.
// The spacing is what the thread asked Sleep for between its sounds.
#include <gtest/gtest.h>

#include <windows.h>
#include <mmsystem.h>

#include <cstring>
#include <functional>

#include "app/actions.h"
#include "app/app_state.h"
#include "app/resources.h"
#include "sim_tuner_support.h"
#include "sleep_recorder.h"
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

// Measures until the feedback thread has played the given number of sounds.
// Its sleeps are shortened, so the spacing of the sounds is read from the
// pauses it asked for (SleptAt), not from the clock.
std::vector<PlayedSound> MeasureUntil(const char* script, int16_t mode, int16_t language,
                                      size_t sounds, bool fast = false) {
    UseSimulatedTuner(script);
    StartProgram();
    App.SoundMode.store(mode);
    App.VoiceLanguage.store(language);
    EXPECT_EQ(StartHotBird(), Accepted);
    if (fast) {
        ModeAction();  // SLOW -> FAST: 900 ms between cycles
        // Every sound from here on has its cycle's pause taken after the switch.
        ForgetPlayedSounds();
    }
    EXPECT_TRUE(PumpUntil([&] { return PlayedSounds().size() >= sounds; }));
    StopMeasurement();
    std::vector<PlayedSound> played = PlayedSounds();
    if (played.size() > sounds) played.resize(sounds);
    return played;
}

// Milliseconds the feedback thread paused between two of its sounds.
ULONGLONG Apart(const PlayedSound& earlier, const PlayedSound& later) {
    EXPECT_EQ(earlier.Thread, later.Thread);
    return later.SleptAt - earlier.SleptAt;
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
    const auto played = MeasureUntil("latency 2\nat 0 lock 1 level 60\n", Tone, English, 3);
    ASSERT_EQ(played.size(), 3u);
    for (const PlayedSound& sound : played) {
        EXPECT_EQ(sound.Image, App.ToneSound);
        EXPECT_EQ(sound.Flags, static_cast<UINT>(SND_ASYNC | SND_NODEFAULT | SND_MEMORY));
        EXPECT_NE(sound.Thread, GetCurrentThreadId());  // never the UI thread
    }
    // 400 ms after the tone, then the cadence.
    EXPECT_EQ(Apart(played[0], played[1]), 1600u);
    EXPECT_EQ(Apart(played[1], played[2]), 1600u);
}

TEST(Feedback, VoiceSpeaksBothDigitsInTheChosenLanguage) {
    const auto played = MeasureUntil("latency 2\nat 0 lock 1 level 47\n", Voice, English, 4);
    ASSERT_EQ(played.size(), 4u);
    EXPECT_EQ(played[0].Image, Digit(0, 4));
    EXPECT_EQ(played[1].Image, Digit(0, 7));
    EXPECT_EQ(played[2].Image, Digit(0, 4));
    EXPECT_EQ(played[3].Image, Digit(0, 7));
    EXPECT_EQ(Apart(played[0], played[1]), 600u);
    EXPECT_EQ(Apart(played[0], played[2]), 1800u);  // 600 between the digits, then 1200
}

namespace {

// Voice at 47%: the feedback thread is held in the pause between the two
// digits of its first reading while the test changes something; the
// reading's second digit and the next cycle are returned.
std::vector<PlayedSound> ChangeBetweenTheDigits(const std::function<void()>& change) {
    UseSimulatedTuner("latency 2\nat 0 lock 1 level 47\n");
    StartProgram();
    App.SoundMode.store(Voice);
    HoldNextSleepOf(600);
    EXPECT_EQ(StartHotBird(), Accepted);
    const bool held = WaitForHeldSleep(kGiveUpMs);
    EXPECT_TRUE(held) << "the pause between the digits";
    EXPECT_EQ(PlayedSounds().size(), 1u);
    change();
    ReleaseHeldSleep();
    EXPECT_TRUE(PumpUntil([] { return PlayedSounds().size() >= 3; }));
    StopMeasurement();
    return PlayedSounds();
}

}  // namespace

// The language is taken once per reading: a switch between the two digits
// is heard from the next reading on.
TEST(Feedback, LanguageSwitchTakesEffectAtTheNextReading) {
    const auto played = ChangeBetweenTheDigits([] { App.VoiceLanguage.store(Russian); });
    ASSERT_GE(played.size(), 3u);
    EXPECT_EQ(played[0].Image, Digit(0, 4));
    EXPECT_EQ(played[1].Image, Digit(0, 7));
    EXPECT_EQ(played[2].Image, Digit(1, 4));
}

// So is the sound mode: a reading begun in words ends in words, with its
// full length, and the tone starts the next cycle.
TEST(Feedback, ModeSwitchTakesEffectAtTheNextCycle) {
    const auto played = ChangeBetweenTheDigits([] { App.SoundMode.store(Tone); });
    ASSERT_GE(played.size(), 3u);
    EXPECT_EQ(played[1].Image, Digit(0, 7));
    EXPECT_EQ(played[2].Image, App.ToneSound);
    EXPECT_EQ(Apart(played[0], played[2]), 1800u);
}

// A sound missing from the program is played as nothing, which also stops
// the one before it.
TEST(Feedback, MissingSoundPlaysNothing) {
    UseSimulatedTuner("latency 2\nat 0 lock 1 level 60\n");
    StartProgram();
    App.ToneSound = nullptr;
    ASSERT_EQ(StartHotBird(), Accepted);
    EXPECT_TRUE(PumpUntil([] { return !PlayedSounds().empty(); }));
    StopMeasurement();
    const auto played = PlayedSounds();
    ASSERT_GE(played.size(), 1u);
    EXPECT_EQ(played[0].Image, nullptr);
    EXPECT_EQ(played[0].Flags, static_cast<UINT>(SND_ASYNC | SND_NODEFAULT | SND_MEMORY));
}

TEST(Feedback, RussianSpeaksTheLeadingZeroToo) {
    const auto played = MeasureUntil("latency 2\nat 0 lock 1 level 5\n", Voice, Russian, 2);
    ASSERT_EQ(played.size(), 2u);
    EXPECT_EQ(played[0].Image, Digit(1, 0));
    EXPECT_EQ(played[1].Image, Digit(1, 5));
}

TEST(Feedback, FastCadenceShortensEachCycleBy300Milliseconds) {
    const auto tones = MeasureUntil("latency 2\nat 0 lock 1 level 60\n", Tone, English, 3, true);
    ASSERT_EQ(tones.size(), 3u);
    EXPECT_EQ(Apart(tones[0], tones[1]), 1300u);  // 400 ms after the tone, then 900
    EXPECT_EQ(Apart(tones[1], tones[2]), 1300u);
}

TEST(Feedback, FastCadenceVoice) {
    const auto words = MeasureUntil("latency 2\nat 0 lock 1 level 47\n", Voice, English, 4, true);
    ASSERT_EQ(words.size(), 4u);
    EXPECT_EQ(words[2].Image, Digit(0, 4));
    EXPECT_EQ(Apart(words[0], words[1]), 600u);
    EXPECT_EQ(Apart(words[0], words[2]), 1500u);  // 600 ms between the digits, then 900
}

namespace {

// Silent and muted keep their cycle but play nothing; so does every mode
// while there is no signal.
// Each mode is held for three cycles, seen as the feedback thread's pauses.
void ExpectSilenceThrough(const char* script, DWORD cycle, std::initializer_list<int16_t> modes) {
    UseSimulatedTuner(script);
    StartProgram();
    App.SoundMode.store(*modes.begin());
    ASSERT_EQ(StartHotBird(), Accepted);
    const DWORD self = GetCurrentThreadId();
    for (int16_t mode : modes) {
        App.SoundMode.store(mode);
        ForgetSleepRequests();
        EXPECT_TRUE(PumpUntil([&] {
            int cycles = 0;
            for (const SleepRequest& request : SleepRequests())
                cycles += request.Thread != self && request.Milliseconds == cycle;
            return cycles >= 3;
        })) << "mode " << mode;
    }
    StopMeasurement();
    EXPECT_TRUE(PlayedSounds().empty());
    EXPECT_EQ(App.FeedbackRunning.load(), 0);
}

}  // namespace

TEST(Feedback, SilentAndMutedPlayNothing) {
    ExpectSilenceThrough("latency 2\nat 0 lock 1 level 60\n", 1200, {Silent, Muted});
}

TEST(Feedback, NoSignalPlaysNothingInAnyMode) {
    ExpectSilenceThrough("latency 2\nat 0 lock 0 level 0\n", 25, {Tone, Voice, Silent, Muted});
}
