#include "tuner/tuning_sequence.h"

namespace {

constexpr int32_t kFecCode = 6;
constexpr int32_t kHighBandOscillator = 10600;
constexpr int32_t kLowBandOscillator = 9750;
constexpr int32_t kCBandOscillator = 5150;

bool Failed(HRESULT result) { return result < 0; }

}  // namespace

const char* ReadyTunerControl(ITunerControl* tuner) {
    if (Failed(tuner->InitializeControl())) return "Cannot initialize tuner control interface";
    if (Failed(tuner->SetFec(kFecCode))) return "Set fec failed";
    return nullptr;
}

const char* SetTransponder(ITunerControl* tuner, const Transponder& t) {
    const bool highBand = InHighBand(t.Frequency);
    if (Failed(tuner->SetLnbSelection(highBand ? 1 : 0))) return "Set LNB selection failed";
    HRESULT oscillator = tuner->SetLnbFrequency(highBand ? kHighBandOscillator : kLowBandOscillator);
    if (t.Frequency <= kCBandTop) oscillator = tuner->SetLnbFrequency(kCBandOscillator);
    if (Failed(oscillator)) return "Set LNB frequency failed";
    if (Failed(tuner->SetPolarity(t.Polarisation))) return "Set polarity failed";
    if (Failed(tuner->SetSymbolRate(t.SymbolRate))) return "Set symbol rate failed";
    if (Failed(tuner->SetTransponderFrequency(t.Frequency))) return "Set transponder frequency failed";
    if (Failed(tuner->SetDiseqc(t.Diseqc))) return "Set DiSEqC failed";
    return nullptr;
}
