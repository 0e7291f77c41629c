#include "app/actions.h"

#include <windows.h>
#include <shellapi.h>

#include "app/app_state.h"
#include "measure/measurement.h"
#include "transponder/manual_entry.h"
#include "transponder/satellite_file.h"
#include "zentrik_version.h"

namespace {

constexpr char kAboutText[] =
    "Zentrik " ZENTRIK_VERSION "\n"
    "Satellite dish alignment aid for DVB-S tuner cards.\n"
    "Listen to the signal level while you turn the dish.\n\n"
    ZENTRIK_COPYRIGHT;

void InvalidateWholeWindow() { InvalidateRect(App.MainWindow, nullptr, TRUE); }

void ShowSatelliteCombo() {
    ShowWindow(App.SatelliteCombo, SW_SHOWNORMAL);
    SetFocus(App.SatelliteCombo);
}

// With the phone display on, the box ends with the addresses to type on the
// phone.
void ShowAboutBox() {
    char text[sizeof kAboutText + sizeof App.PhoneAddresses + 64];
    // wsprintfA rather than the C runtime's formatting, which alone would add
    // some 28 KB to the program.
    wsprintfA(text, "%s%s%s", kAboutText,
              App.PhoneAddresses[0] ? "\n\nPhone display, open on the phone:\n" : "",
              App.PhoneAddresses);
    MessageBoxA(App.MainWindow, text, "About", MB_OK);
}

}  // namespace

void ModeAction() {
    if (App.RunMode.load() == Setup) {
        if (App.InputMode == ListMode) {
            App.InputMode = ManualMode;
            ShowWindow(App.SatelliteCombo, SW_HIDE);
            SetFocus(App.MainWindow);
        } else {
            App.InputMode = ListMode;
            ShowSatelliteCombo();
        }
    } else {
        App.Cadence.store(App.Cadence.load() == kSlowCadence ? kFastCadence : kSlowCadence);
    }
    InvalidateWholeWindow();
}

void MiddleAction() {
    if (App.RunMode.load() == Measuring) {
        // The workers see the mode and end by themselves; nothing waits here.
        App.RunMode.store(Setup);
        if (App.InputMode == ListMode) ShowSatelliteCombo();
        InvalidateWholeWindow();
    } else if (App.InputMode == ListMode) {
        // The list is read only at start-up, so editing it means a restart.
        ShellExecuteA(App.MainWindow, "open", ".\\satellite.ini", nullptr, nullptr, SW_SHOWNORMAL);
        DestroyWindow(App.MainWindow);
    } else {
        ShellExecuteA(App.MainWindow, "open", ".\\ReadMe.txt", nullptr, nullptr, SW_SHOWNORMAL);
        InvalidateWholeWindow();
    }
}

void WaitForFlagClear(const std::atomic<uint8_t>& flag) {
    while (flag.load() != 0) Sleep(200);
}

StartResult StartAction() {
    if (App.RunMode.load() == Measuring) {
        ShowAboutBox();
        return Accepted;
    }
    // Right after a measurement was ended its workers may still be finishing.
    WaitForFlagClear(App.PollerRunning);
    WaitForFlagClear(App.FeedbackRunning);
    const StartResult result =
        App.InputMode == ManualMode ? ParseEntryLine() : ReadSatelliteEntry();
    if (result != Accepted) return result;
    PublishCaption(&App.SharedCaption, App.MeasureCaption);
    StartMeasurement();
    return Accepted;
}

void AdvanceSoundMode() {
    switch (App.SoundMode.load()) {
    case Tone: App.SoundMode.store(Voice); break;
    case Voice: App.SoundMode.store(Silent); break;
    case Silent: App.SoundMode.store(Tone); break;
    default: break;  // Muted: only the mute key leaves it
    }
}

void ToggleVoiceLanguage() {
    App.VoiceLanguage.store(App.VoiceLanguage.load() == English ? Russian : English);
}

void MuteKey() {
    if (App.RunMode.load() != Measuring) return;
    const int16_t current = App.SoundMode.load();
    if (current < Silent) {
        App.SavedSoundMode = current;
        App.SoundMode.store(Muted);
    } else {
        App.SoundMode.store(App.SavedSoundMode);
    }
}

void ToggleBigReadout() {
    if (App.RunMode.load() != Measuring) return;
    App.BigReadout.store(App.BigReadout.load() ? 0 : 1);
    InvalidateWholeWindow();
}
