// The level the bridge reports from a driver's signal statistics, and the
// pacing of its statistics reads. Byte-level, no platform headers, so it
// builds natively for the tests.
#pragma once
#include <cstdint>

// Drivers disagree on the unit of their signal strength: percent 0..100, a
// 16-bit scale 0..65535, or mDb (BDA's own unit; in practice negative
// readings like -45000).
enum class StrengthUnit : int8_t { Unknown, Percent, Full16, MilliDecibel };

struct SignalReadings {
    bool HasStrength = false;
    int32_t Strength = 0;
    bool HasQuality = false;
    int32_t Quality = 0;
};

// A percentage the latest reading could not give.
constexpr int32_t kNoPercent = -1;

// What the readings so far say about the unit. The first telling reading
// decides at once, so that the level shows from the start; a different unit
// takes over only after kUnitChangeReadings telling readings in a row, so one
// stray reading neither switches the scale nor shows on the bar, and a unit
// judged wrongly early on is put right later in the run.
constexpr int32_t kUnitChangeReadings = 5;
struct StrengthJudge {
    StrengthUnit Unit = StrengthUnit::Unknown;
    StrengthUnit Challenger = StrengthUnit::Unknown;  // what the latest disagreeing readings say
    int32_t ChallengerReadings = 0;                   // how many of them in a row
    int32_t LastLevel = 0;                            // the level reported last
    int32_t LastStrength = kNoPercent;                // the strength alone in percent, as last judged
};

// The mDb window shown as 0..100 percent.
constexpr int32_t kWeakestMilliDecibel = -70000;
constexpr int32_t kStrongestMilliDecibel = -20000;

// The level in percent for one reading; locked says whether the same reading
// found a lock (a 16-bit scale cannot read 1..100 while locked).
int32_t LevelPercent(const SignalReadings& readings, bool locked, StrengthJudge* judge);
// The quality in percent, the unit BDA defines for it; kNoPercent for a
// reading without one or with one outside 0..100.
int32_t QualityPercent(const SignalReadings& readings);
// "percent", "of 65535", "mDb" or "unit unknown".
const char* UnitName(StrengthUnit unit);

// Drivers refresh their statistics about every 20 ms; each statistics read
// lasts at least that long so that a poll loop without pauses cannot spin.
constexpr int64_t kStatisticsPeriodUs = 20000;
// Milliseconds still to wait after a read has run for elapsedUs.
uint32_t StatisticsPauseMs(int64_t elapsedUs);
