#include "tuner/tuner_control.h"

#include <windows.h>

#include "app/app_state.h"
#include "tuner/tuner_interface.h"

namespace {

constexpr int32_t kFecCode = 6;
constexpr int32_t kHighBandOscillator = 10600;
constexpr int32_t kLowBandOscillator = 9750;
constexpr int32_t kCBandOscillator = 5150;

void ShowTunerError(const char* text) { MessageBoxA(App.MainWindow, text, "Error", MB_OK); }

// A failed tuning step ends the program: the card is in an unknown state.
bool TuningStepFailed(HRESULT result, const char* text) {
    if (result >= 0) return false;
    ShowTunerError(text);
    DestroyWindow(App.MainWindow);
    return true;
}

}  // namespace

// Whatever a failing step handed over stays held: Shutdown releases it.
bool CreateTunerControl() {
    void* filter = nullptr;
    // Only exactly 0 counts: a positive success code is not what the card gives.
    const HRESULT created = CoCreateInstance(kTunerFilterClassId, nullptr, CLSCTX_INPROC_SERVER,
                                             kBaseFilterInterfaceId, &filter);
    App.TunerFilter = static_cast<IUnknown*>(filter);
    if (created != 0) {
        ShowTunerError("Cannot create filter graph manager");
        return true;
    }
    void* control = nullptr;
    const HRESULT queried = App.TunerFilter->QueryInterface(kTunerControlInterfaceId, &control);
    App.TunerControl = static_cast<ITunerControl*>(control);
    if (queried != 0) return true;
    if (App.TunerControl->InitializeControl() < 0) {
        ShowTunerError("Cannot initialize tuner control interface");
        return true;
    }
    if (App.TunerControl->SetFec(kFecCode) < 0) {
        ShowTunerError("Set fec failed");
        return true;
    }
    return false;
}

void TuneTransponder() {
    ITunerControl* tuner = App.TunerControl;
    const Transponder& t = App.Transponder;
    const bool highBand = InHighBand(t.Frequency);
    if (TuningStepFailed(tuner->SetLnbSelection(highBand ? 1 : 0), "Set LNB selection failed"))
        return;
    HRESULT oscillator = tuner->SetLnbFrequency(highBand ? kHighBandOscillator : kLowBandOscillator);
    if (t.Frequency <= kCBandTop) oscillator = tuner->SetLnbFrequency(kCBandOscillator);
    if (TuningStepFailed(oscillator, "Set LNB frequency failed")) return;
    if (TuningStepFailed(tuner->SetPolarity(t.Polarisation), "Set polarity failed")) return;
    if (TuningStepFailed(tuner->SetSymbolRate(t.SymbolRate), "Set symbol rate failed")) return;
    if (TuningStepFailed(tuner->SetTransponderFrequency(t.Frequency),
                         "Set transponder frequency failed"))
        return;
    TuningStepFailed(tuner->SetDiseqc(t.Diseqc), "Set DiSEqC failed");
}

void ReleaseTunerControl() {
    if (App.TunerControl) {
        App.TunerControl->Release();
        App.TunerControl = nullptr;
    }
    if (App.TunerFilter) {
        App.TunerFilter->Release();
        App.TunerFilter = nullptr;
    }
}
