#include "identity/identity_watch.h"

#include <cstring>

#include "app/app_state.h"
#include "identity/identity_line.h"
#include "identity/identity_paint.h"
#include "tuner/identity_interface.h"

namespace {

// The bridge's reader has new tables within a second of their arrival; a
// person turning a dish needs no more.
constexpr ULONGLONG kIdentityPeriodMs = 1000;

// What the interface says now, as the program keeps it; expected is the
// position the measurement was started for.
SatelliteIdentity AskTuner(int16_t expected) {
    SatelliteIdentity identity;
    identity.Expected = expected;
    ZentrikIdentityInfo info = {};
    info.cbSize = sizeof info;
    // Only a full answer counts: S_FALSE says the position is not known.
    if (App.TunerIdentity->GetSatelliteIdentity(&info) == S_OK && info.Position >= -1800 &&
        info.Position <= 1800) {
        identity.Position = static_cast<int16_t>(info.Position);
        identity.NetworkId = info.NetworkId;
        identity.OriginalNetworkId = info.OriginalNetworkId;
        identity.TransportStreamId = info.TransportStreamId;
        // A component that fills the whole field leaves no terminator.
        std::memcpy(identity.NetworkName, info.NetworkName, kNetworkNameBytes - 1);
    }
    CompareIdentity(&identity);
    return identity;
}

}  // namespace

void QueryTunerIdentity() {
    if (App.TunerIdentity || !App.TunerFilter || App.RunMode.load() != Measuring) return;
    void* face = nullptr;
    const HRESULT result = App.TunerFilter->QueryInterface(kSatelliteIdentityInterfaceId, &face);
    if (result == S_OK && face) App.TunerIdentity = static_cast<IZentrikSatelliteIdentity*>(face);
    else if (face) static_cast<IUnknown*>(face)->Release();  // a success code other than S_OK
}

IdentityWatch StartIdentityWatch() {
    IdentityWatch watch;
    if (App.InputMode == ListMode)
        watch.Shown.Expected = PositionFromCaption(App.MeasureCaption, kCaptionLength);
    PublishIdentity(&App.Identity, watch.Shown);
    return watch;
}

void WatchIdentity(IdentityWatch* watch) {
    if (!App.TunerIdentity) return;
    const ULONGLONG now = GetTickCount64();
    if (now < watch->NextAskMs) return;
    watch->NextAskMs = now + kIdentityPeriodMs;
    const SatelliteIdentity seen = AskTuner(watch->Shown.Expected);
    if (std::memcmp(&seen, &watch->Shown, sizeof seen) == 0) return;
    watch->Shown = seen;
    PublishIdentity(&App.Identity, seen);
    InvalidateRect(App.MainWindow, &kIdentityArea, TRUE);
}

void EndIdentityWatch() {
    const SatelliteIdentity shown = ReadPublishedIdentity(App.Identity);
    if (shown.Match == IdentityUnknown) return;
    PublishIdentity(&App.Identity, SatelliteIdentity{});
}

void ReleaseTunerIdentity() {
    if (!App.TunerIdentity) return;
    App.TunerIdentity->Release();
    App.TunerIdentity = nullptr;
}
