#include "bdatuner/bda_mapping.h"

#include <cstdint>

namespace {

constexpr int32_t kKhzPerMhz = 1000;
constexpr int32_t kPercentMax = 100;
constexpr int32_t kFull16Max = 65535;

int32_t ClampPercent(int64_t value) {
    if (value < 0) return 0;
    if (value > kPercentMax) return kPercentMax;
    return static_cast<int32_t>(value);
}

// Sticky: a negative reading means mDb; one above 100 means the 16-bit
// scale (unless mDb is already known); 1..100 alone suggests percent.
void NoteStrengthUnit(int32_t strength, StrengthUnit* unit) {
    if (strength < 0) {
        *unit = StrengthUnit::MilliDecibel;
    } else if (strength > kPercentMax && strength <= kFull16Max) {
        if (*unit != StrengthUnit::MilliDecibel) *unit = StrengthUnit::Full16;
    } else if (strength > 0 && strength <= kPercentMax && *unit == StrengthUnit::Unknown) {
        *unit = StrengthUnit::Percent;
    }
}

int32_t StrengthPercent(int32_t strength, StrengthUnit unit) {
    switch (unit) {
    case StrengthUnit::Percent: return ClampPercent(strength);
    case StrengthUnit::Full16:
        return ClampPercent((static_cast<int64_t>(strength) * kPercentMax + kFull16Max / 2) / kFull16Max);
    case StrengthUnit::MilliDecibel: {
        const int64_t span = static_cast<int64_t>(kStrongestMilliDecibel) - kWeakestMilliDecibel;
        const int64_t above = static_cast<int64_t>(strength) - kWeakestMilliDecibel;
        return ClampPercent((above * kPercentMax + span / 2) / span);
    }
    default: return 0;
    }
}

}  // namespace

int32_t PolarisationFor(int32_t code) {
    if (code == 0) return kBdaPolarisationHorizontal;
    if (code == 1) return kBdaPolarisationVertical;
    return kBdaNotSet;  // another letter in a list entry: the driver's choice
}

// The typed letters are position then option of a committed switch; a single
// letter leaves the option at A. BDA numbers the four committed ports
// A..D = position A/option A, position B/option A, A/B, B/B, so AA is port A
// like A, and BA is port B like B.
int32_t LnbSourceFor(int32_t diseqcCode) {
    static const int32_t kPortForCode[] = {0, 1, 2, 1, 2, 3, 4};
    if (diseqcCode < 0 || diseqcCode > 6) return 0;
    return kPortForCode[diseqcCode];
}

void ChooseLnb(int32_t lastLnbFrequencyMhz, BdaTuneRequest* request) {
    if (lastLnbFrequencyMhz > 0 && lastLnbFrequencyMhz < kCBandOscillatorLimitMhz) {
        request->LowOscillatorKhz = lastLnbFrequencyMhz * kKhzPerMhz;
        request->HighOscillatorKhz = request->LowOscillatorKhz;
        request->SwitchKhz = kNoBandSwitchKhz;
        return;
    }
    request->LowOscillatorKhz = kUniversalLowOscillatorKhz;
    request->HighOscillatorKhz = kUniversalHighOscillatorKhz;
    request->SwitchKhz = kUniversalSwitchKhz;
}

// The inner FEC is always left for the driver to search: the program sends
// one fixed code that names no particular rate.
bool MapTuneSettings(const BdaTuneSettings& settings, BdaTuneRequest* request) {
    if (settings.FrequencyMhz <= 0 || settings.FrequencyMhz > INT32_MAX / kKhzPerMhz) return false;
    if (settings.SymbolRateKsps <= 0) return false;
    *request = BdaTuneRequest{};
    request->CarrierKhz = settings.FrequencyMhz * kKhzPerMhz;
    request->SymbolRate = settings.SymbolRateKsps;
    request->Polarisation = PolarisationFor(settings.Polarisation);
    request->LnbSource = LnbSourceFor(settings.Diseqc);
    ChooseLnb(settings.LnbFrequencyMhz, request);
    return true;
}

// The level rule. Drivers disagree on the strength's unit: percent 0..100,
// a 16-bit scale 0..65535, or mDb (BDA's own unit; in practice negative
// readings like -45000). The first reading that tells them apart decides for
// the session: negative is mDb, 101..65535 the 16-bit scale, 1..100 percent
// until a larger reading shows the 16-bit scale. mDb is shown linearly from
// -70 dB (0%) to -20 dB (100%), clamped. A strength that is missing, above
// 65535, or 0 before the unit is known (drivers that report no strength
// answer 0) falls back to the signal quality, which BDA gives in percent.
int32_t LevelPercent(const SignalReadings& readings, StrengthUnit* unit) {
    if (readings.HasStrength) {
        NoteStrengthUnit(readings.Strength, unit);
        const bool usable =
            readings.Strength <= kFull16Max && !(readings.Strength == 0 && *unit == StrengthUnit::Unknown);
        if (usable) return StrengthPercent(readings.Strength, *unit);
    }
    return readings.HasQuality ? ClampPercent(readings.Quality) : 0;
}

uint32_t StatisticsPauseMs(int64_t elapsedUs) {
    if (elapsedUs < 0) elapsedUs = 0;
    if (elapsedUs >= kStatisticsPeriodUs) return 0;
    return static_cast<uint32_t>((kStatisticsPeriodUs - elapsedUs + 999) / 1000);
}
