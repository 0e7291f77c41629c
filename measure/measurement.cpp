#include "measure/measurement.h"

#include <windows.h>
#include <mmsystem.h>
#include <process.h>

#include "app/app_state.h"
#include "app/resources.h"
#include "measure/identity_watch.h"
#include "measure/level_text.h"
#include "measure/signal_readings.h"
#include "tuner/tuner_control.h"
#include "tuner/tuner_interface.h"

namespace {

void RequestRepaint(const RECT& area) { InvalidateRect(App.MainWindow, &area, TRUE); }

// Sets a running flag and starts its thread; a thread that could not be
// created must not leave its flag set, or every later wait would last for ever.
void StartFlaggedWorker(std::atomic<uint8_t>& flag, unsigned (__stdcall* routine)(void*)) {
    flag.store(1);
    if (!StartWorker(routine)) flag.store(0);
}

// A sound whose resource is missing is a null image, which stops whatever is
// still playing rather than letting the previous sound go on.
void PlaySoundImage(const void* image) {
    sndPlaySoundA(static_cast<LPCSTR>(image), SND_ASYNC | SND_NODEFAULT | SND_MEMORY);
}

void SpeakDigit(char digit, int language) {
    if (digit < '0' || digit > '9') return;
    PlaySoundImage(App.DigitSounds[language * 10 + (digit - '0')]);
}

// One pass of the feedback loop: its sound, then its pause.
void FeedbackCycle() {
    if (App.SignalLevel.load() <= 0) {
        Sleep(25);
        RequestRepaint(App.BarArea);  // animates the searching line
        return;
    }
    switch (App.SoundMode.load()) {
    case Tone:
        PlaySoundImage(App.ToneSound);
        Sleep(400);
        break;
    case Voice: {
        // One reading is spoken whole, in one language.
        char text[4];
        ReadLevelText(App.LevelText, text);
        const int language = App.VoiceLanguage.load() == Russian ? 1 : 0;
        SpeakDigit(text[0], language);
        Sleep(600);
        SpeakDigit(text[1], language);
        break;
    }
    default: break;
    }
    Sleep(static_cast<DWORD>(App.Cadence.load()));
}

// The lock is published after the level it comes with and withdrawn before
// the level goes, so a reader on another thread that sees the lock sees its
// level (not the zero of the pass before).
void PublishLock() {
    // The card writes the level in place; a call that writes nothing
    // leaves the last reading standing.
    int32_t level = App.SignalLevel.load();
    App.TunerControl->ReadSignalLevel(&level);
    App.SignalLevel.store(level);
    WriteLevelText(&App.LevelText, level);
    App.SignalLocked.store(1);
}

void WithdrawLock() {
    App.SignalLocked.store(0);
    if (App.SignalLevel.load() > 0) {
        App.SignalLevel.store(0);
        WriteLevelText(&App.LevelText, 0);
    }
}

}  // namespace

bool StartWorker(unsigned (__stdcall* routine)(void*)) {
    const uintptr_t thread = _beginthreadex(nullptr, 0, routine, nullptr, 0, nullptr);
    if (thread == 0) return false;
    CloseHandle(reinterpret_cast<HANDLE>(thread));
    return true;
}

void StartMeasurement() {
    SetFocus(App.MainWindow);
    InvalidateRect(App.MainWindow, nullptr, TRUE);
    TuneTransponder();
    QueryTunerIdentity();
    // The poller's flag is set before the feedback thread exists: that thread
    // runs only while the poller's flag is set.
    StartFlaggedWorker(App.PollerRunning, SignalPoller);
    StartFlaggedWorker(App.FeedbackRunning, FeedbackPlayer);
}

unsigned __stdcall SignalPoller(void*) {
    IdentityWatch identity = StartIdentityWatch();
    StartReadings();
    while (App.RunMode.load() == Measuring) {
        const bool locked = App.TunerControl->QueryLock() >= 0;
        // The identity is claimed after the lock is published and cleared
        // before it is withdrawn: the published pair never claims a
        // satellite without a lock.
        if (locked) {
            PublishLock();
            WatchReadings(true);
            WatchIdentity(&identity, true);
        } else {
            WatchIdentity(&identity, false);
            WithdrawLock();
            WatchReadings(false);
        }
        RequestRepaint(App.BigReadout.load() ? App.BigReadoutArea : App.BarArea);
    }
    EndIdentityWatch();
    EndReadings();
    WriteLevelText(&App.LevelText, 0);
    App.SignalLevel.store(0);
    App.SignalLocked.store(0);
    App.PollerRunning.store(0);
    return 0;
}

unsigned __stdcall FeedbackPlayer(void*) {
    while (App.PollerRunning.load() == 1) FeedbackCycle();
    App.FeedbackRunning.store(0);
    return 0;
}

void LoadFeedbackSounds() {
    static const char kPrefixes[2][3] = {"EN", "RU"};
    for (int language = 0; language < 2; ++language) {
        for (int digit = 0; digit < 10; ++digit) {
            const char name[4] = {kPrefixes[language][0], kPrefixes[language][1],
                                  static_cast<char>('0' + digit), '\0'};
            App.DigitSounds[language * 10 + digit] = LockProgramResource(name, nullptr);
        }
    }
    App.ToneSound = LockProgramResource("TONE", nullptr);
}
