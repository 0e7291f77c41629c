#include "bdatuner/bda_level.h"

namespace {

constexpr int32_t kPercentMax = 100;
constexpr int32_t kFull16Max = 65535;

int32_t ClampPercent(int64_t value) {
    if (value < 0) return 0;
    if (value > kPercentMax) return kPercentMax;
    return static_cast<int32_t>(value);
}

// The unit one reading points to, or Unknown when it tells nothing: 0 is
// every scale's "nothing", and a value above 65535 fits none. 1..100 is
// percent, except that a 16-bit driver reads that low when the signal is
// weak, so it speaks against the 16-bit scale only while locked.
StrengthUnit UnitOfReading(int32_t strength, bool locked, StrengthUnit current) {
    if (strength < 0) return StrengthUnit::MilliDecibel;
    if (strength > kPercentMax && strength <= kFull16Max) return StrengthUnit::Full16;
    if (strength > 0 && strength <= kPercentMax && (locked || current != StrengthUnit::Full16))
        return StrengthUnit::Percent;
    return StrengthUnit::Unknown;
}

// Weighs one reading; true when the reading agrees with the unit now held
// (or tells nothing), false when it is one of a disagreeing run.
bool WeighReading(int32_t strength, bool locked, StrengthJudge* judge) {
    const StrengthUnit said = UnitOfReading(strength, locked, judge->Unit);
    if (said == StrengthUnit::Unknown || said == judge->Unit) {
        judge->ChallengerReadings = 0;
        return true;
    }
    if (judge->Unit == StrengthUnit::Unknown) {
        judge->Unit = said;
        return true;
    }
    judge->ChallengerReadings = judge->Challenger == said ? judge->ChallengerReadings + 1 : 1;
    judge->Challenger = said;
    if (judge->ChallengerReadings < kUnitChangeReadings) return false;
    judge->Unit = said;
    judge->ChallengerReadings = 0;
    return true;
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

// A strength the level can be made from: not above every scale, and not a 0
// that only means "no strength" (before the unit is known, or from an mDb
// driver, for which 0 would be an impossible 1 mW).
bool UsableStrength(int32_t strength, StrengthUnit unit) {
    if (strength > kFull16Max) return false;
    return strength != 0 || (unit != StrengthUnit::Unknown && unit != StrengthUnit::MilliDecibel);
}

}  // namespace

// mDb is shown linearly from -70 dB (0%) to -20 dB (100%), clamped. A strength
// that cannot be used falls back to the signal quality, which BDA gives in
// percent. While readings disagree with the unit, the last level stands, and
// the last strength with it.
int32_t LevelPercent(const SignalReadings& readings, bool locked, StrengthJudge* judge) {
    int32_t level;
    if (readings.HasStrength && !WeighReading(readings.Strength, locked, judge)) {
        level = judge->LastLevel;
    } else if (readings.HasStrength && UsableStrength(readings.Strength, judge->Unit)) {
        level = judge->LastStrength = StrengthPercent(readings.Strength, judge->Unit);
    } else {
        judge->LastStrength = kNoPercent;
        level = readings.HasQuality ? ClampPercent(readings.Quality) : 0;
    }
    judge->LastLevel = level;
    return level;
}

int32_t QualityPercent(const SignalReadings& readings) {
    if (!readings.HasQuality || readings.Quality < 0 || readings.Quality > kPercentMax) return kNoPercent;
    return readings.Quality;
}

const char* UnitName(StrengthUnit unit) {
    switch (unit) {
    case StrengthUnit::Percent: return "percent";
    case StrengthUnit::Full16: return "of 65535";
    case StrengthUnit::MilliDecibel: return "mDb";
    default: return "unit unknown";
    }
}

uint32_t StatisticsPauseMs(int64_t elapsedUs) {
    if (elapsedUs < 0) elapsedUs = 0;
    if (elapsedUs >= kStatisticsPeriodUs) return 0;
    return static_cast<uint32_t>((kStatisticsPeriodUs - elapsedUs + 999) / 1000);
}
