#include "bdatuner/bda_readings.h"

static_assert(kNoPercent == kSignalPercentUnknown, "one value for a percentage not known");

namespace {

uint16_t UnitOf(StrengthUnit unit) {
    switch (unit) {
    case StrengthUnit::Percent: return kSignalPercent;
    case StrengthUnit::Full16: return kSignalOf65535;
    case StrengthUnit::MilliDecibel: return kSignalMilliDecibel;
    default: return kSignalUnitUnknown;
    }
}

}  // namespace

// The strength in the unit the level rule has judged; the quality in percent,
// the unit BDA defines for it, and of an unknown unit otherwise.
ZentrikSignalInfo SignalInfoOf(const BdaProbeReport& report) {
    ZentrikSignalInfo info = {};
    info.cbSize = sizeof info;
    info.StrengthPercent = info.QualityPercent = kSignalPercentUnknown;
    if (!report.Answered) return info;
    const SignalReadings& readings = report.Readings;
    if (readings.HasStrength) {
        info.StrengthPercent = report.StrengthPercent;
        info.StrengthRaw = readings.Strength;
        info.StrengthUnit = UnitOf(report.Unit);
    }
    if (readings.HasQuality) {
        info.QualityPercent = QualityPercent(readings);
        info.QualityRaw = readings.Quality;
        info.QualityUnit = info.QualityPercent == kSignalPercentUnknown ? kSignalUnitUnknown : kSignalPercent;
    }
    return info;
}
