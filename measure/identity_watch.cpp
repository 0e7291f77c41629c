#include "measure/identity_watch.h"

#include <cstring>

#include "app/app_state.h"
#include "identity/identity_line.h"
#include "tuner/identity_interface.h"
#include "tuner/tuner_control.h"

namespace {

// The bridge's reader has new tables within a second of their arrival; a
// person turning a dish needs no more.
constexpr ULONGLONG kIdentityPeriodMs = 1000;

// What the interface says now; a known answer fills identity.
IdentityAnswer AskTuner(SatelliteIdentity* identity) {
    ZentrikIdentityInfo info = {};
    info.cbSize = sizeof info;
    const HRESULT result = App.TunerIdentity->GetSatelliteIdentity(&info);
    if (result == S_FALSE) return AnswerNothingKnown;
    if (result != S_OK || info.Position < -1800 || info.Position > 1800) return AnswerFailed;
    identity->Position = static_cast<int16_t>(info.Position);
    identity->NetworkId = info.NetworkId;
    identity->OriginalNetworkId = info.OriginalNetworkId;
    identity->TransportStreamId = info.TransportStreamId;
    // A component that fills the whole field leaves no terminator.
    std::memcpy(identity->NetworkName, info.NetworkName, kNetworkNameBytes - 1);
    return AnswerKnown;
}

// Asks once a period, and whenever the trust rule wants an answer now.
IdentityAnswer AskWhenDue(IdentityWatch* watch, bool locked, SatelliteIdentity* identity) {
    const ULONGLONG now = GetTickCount64();
    if (now < watch->NextAskMs && !IdentityAnswerWanted(watch->Trust, locked)) return AnswerNotAsked;
    watch->NextAskMs = now + kIdentityPeriodMs;
    return AskTuner(identity);
}

void Show(IdentityWatch* watch, const SatelliteIdentity& identity) {
    if (std::memcmp(&identity, &watch->Shown, sizeof identity) == 0) return;
    watch->Shown = identity;
    PublishIdentity(&App.Identity, identity);
    InvalidateRect(App.MainWindow, &App.IdentityArea, TRUE);
}

}  // namespace

void QueryTunerIdentity() {
    if (App.TunerIdentity || App.RunMode.load() != Measuring) return;
    App.TunerIdentity = static_cast<IZentrikSatelliteIdentity*>(QueryTunerOption(kSatelliteIdentityInterfaceId));
}

IdentityWatch StartIdentityWatch() {
    IdentityWatch watch;
    if (App.InputMode == ListMode)
        watch.Shown.Expected = PositionFromCaption(App.MeasureCaption, kCaptionLength);
    PublishIdentity(&App.Identity, watch.Shown);
    // Right after the tune, before any lock is read: a component that drops
    // what it read at a tune says now that it knows nothing.
    if (App.TunerIdentity) {
        SatelliteIdentity ignored;
        BelieveIdentity(&watch.Trust, false, AskWhenDue(&watch, false, &ignored));
    }
    return watch;
}

void WatchIdentity(IdentityWatch* watch, bool locked) {
    if (!App.TunerIdentity) return;
    SatelliteIdentity seen;
    seen.Expected = watch->Shown.Expected;
    const IdentityAnswer answer = AskWhenDue(watch, locked, &seen);
    const bool believed = BelieveIdentity(&watch->Trust, locked, answer);
    if (locked && answer == AnswerNotAsked) return;  // what is shown stands until the next answer
    if (!believed) {
        const int16_t expected = seen.Expected;
        seen = SatelliteIdentity{};
        seen.Expected = expected;
    }
    CompareIdentity(&seen);
    Show(watch, seen);
}

void EndIdentityWatch() {
    if (ReadPublishedIdentity(App.Identity).Record.Match == IdentityUnknown) return;
    PublishIdentity(&App.Identity, SatelliteIdentity{});
}

void ReleaseTunerIdentity() {
    if (!App.TunerIdentity) return;
    App.TunerIdentity->Release();
    App.TunerIdentity = nullptr;
}
