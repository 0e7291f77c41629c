#include "measure/signal_readings.h"

#include <windows.h>

#include "app/app_state.h"
#include "tuner/tuner_control.h"
#include "tuner/signal_readings_interface.h"

namespace {

// A component's percentage as published: anything outside 0..100 is none.
int32_t Percent(int32_t value) { return value >= 0 && value <= 100 ? value : kReadingUnknown; }

void Publish(int32_t strength, int32_t quality) {
    App.SignalStrength.store(strength);
    App.SignalQuality.store(quality);
}

}  // namespace

void StartReadings() {
    if (App.TunerReadings || App.RunMode.load() != Measuring) return;
    App.TunerReadings = static_cast<IZentrikSignalReadings*>(QueryTunerOption(kSignalReadingsInterfaceId));
}

// Nothing is claimed without a lock: a card's strength without one is the
// noise the dish sees, which the page must not show as a reading.
void WatchReadings(bool locked) {
    if (!App.TunerReadings) return;
    ZentrikSignalInfo info = {};
    info.cbSize = sizeof info;
    if (!locked || App.TunerReadings->GetSignalReadings(&info) != S_OK) {
        Publish(kReadingUnknown, kReadingUnknown);
        return;
    }
    Publish(Percent(info.StrengthPercent), Percent(info.QualityPercent));
}

void EndReadings() {
    Publish(kReadingUnknown, kReadingUnknown);
    if (!App.TunerReadings) return;
    App.TunerReadings->Release();
    App.TunerReadings = nullptr;
}
