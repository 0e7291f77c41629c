#include "phone/phone_display.h"

#include <windows.h>

#include "app/app_state.h"
#include "app/program_module.h"
#include "phone/phone_feed.h"
#include "phone/phone_switch.h"

namespace {

constexpr char kCaption[] = "Attention!";

// The fields the server may read, and nothing else of the state record.
PhoneFeed FeedOfApp() {
    return PhoneFeed{kPhoneFeedVersion, sizeof(PhoneFeed), &App.RunMode, &App.SignalLocked,
                     &App.SignalLevel, &App.LevelText, &App.SharedCaption, &App.SoundMode,
                     &App.VoiceLanguage, &App.Cadence, &App.Identity, &App.SignalStrength,
                     &App.SignalQuality};
}

void Tell(const char* text) { MessageBoxA(App.MainWindow, text, kCaption, MB_OK); }

// Why the server did not start, as the user reads it.
void TellStartFailure(int32_t result, uint16_t port) {
    // wsprintfA rather than the C runtime's formatting (28 KB more program).
    char text[320];
    if (result == PhonePortInUse)
        wsprintfA(text,
                  "The phone display cannot use port %u: another program is using it.\n"
                  "Zentrik runs without the phone display. Start it with /phone:PORT "
                  "to choose another port.", static_cast<unsigned>(port));
    else
        wsprintfA(text, "The phone display cannot start (%s).\nZentrik runs without it.",
                  result == PhoneWrongFeed ? "ZentrikPhone.dll is of another version"
                                           : "the network cannot be used");
    Tell(text);
}

}  // namespace

void StartPhoneDisplay(const char* commandLine) {
    uint16_t port = 0;
    const PhoneSwitch phoneSwitch = ReadPhoneSwitch(commandLine, &port);
    if (phoneSwitch == PhoneOff || !IsWindow(App.MainWindow)) return;
    if (phoneSwitch == PhoneBadPort) {
        Tell("The phone display needs a port number from 1 to 65535, as in /phone:8099.\n"
             "Zentrik runs without the phone display.");
        return;
    }
    HMODULE module = LoadProgramModule(kPhoneModuleName);
    auto start = reinterpret_cast<StartPhoneServerFunction>(
        module ? reinterpret_cast<void*>(GetProcAddress(module, kStartPhoneServerName)) : nullptr);
    auto addresses = reinterpret_cast<PhoneServerAddressesFunction>(
        module ? reinterpret_cast<void*>(GetProcAddress(module, kPhoneServerAddressesName)) : nullptr);
    if (!start || !addresses) {
        if (module) FreeLibrary(module);
        Tell("The phone display is missing: ZentrikPhone.dll belongs beside Zentrik.exe.\n"
             "Zentrik runs without it.");
        return;
    }
    const PhoneFeed feed = FeedOfApp();
    const int32_t result = start(&feed, port);
    if (result != PhoneStarted) {
        FreeLibrary(module);
        TellStartFailure(result, port);
        return;
    }
    App.PhoneModule = module;
    addresses(App.PhoneAddresses, sizeof App.PhoneAddresses);
}

void StopPhoneDisplay() {
    if (!App.PhoneModule) return;
    auto stop = reinterpret_cast<StopPhoneServerFunction>(
        reinterpret_cast<void*>(GetProcAddress(App.PhoneModule, kStopPhoneServerName)));
    if (stop) stop();
    FreeLibrary(App.PhoneModule);
    App.PhoneModule = nullptr;
    App.PhoneAddresses[0] = '\0';
}
