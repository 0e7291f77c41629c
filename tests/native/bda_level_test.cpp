// The BDA bridge's level rule: the strength unit judged from the readings,
// one stray reading kept off the bar, a unit put right later in the run, and
// the pacing of the statistics reads.
#include <gtest/gtest.h>

#include "bdatuner/bda_level.h"

namespace {

SignalReadings Strength(int32_t strength, bool hasQuality = false, int32_t quality = 0) {
    SignalReadings r;
    r.HasStrength = true;
    r.Strength = strength;
    r.HasQuality = hasQuality;
    r.Quality = quality;
    return r;
}

SignalReadings QualityOnly(int32_t quality) {
    SignalReadings r;
    r.HasQuality = true;
    r.Quality = quality;
    return r;
}

// Feeds the same locked reading n times; the last level.
int32_t Repeat(StrengthJudge* judge, int32_t strength, int n) {
    int32_t level = -1;
    for (int i = 0; i < n; ++i) level = LevelPercent(Strength(strength), true, judge);
    return level;
}

TEST(BdaLevel, EachUnitIsRecognisedFromItsFirstTellingReading) {
    StrengthJudge percent, full16, millidecibel;
    EXPECT_EQ(LevelPercent(Strength(1), true, &percent), 1);
    EXPECT_EQ(percent.Unit, StrengthUnit::Percent);
    EXPECT_EQ(LevelPercent(Strength(100), true, &percent), 100);
    EXPECT_EQ(LevelPercent(Strength(0, true, 77), true, &percent), 0);  // a known percent 0 is 0
    EXPECT_EQ(LevelPercent(Strength(65535), true, &full16), 100);
    EXPECT_EQ(full16.Unit, StrengthUnit::Full16);
    EXPECT_EQ(LevelPercent(Strength(32768), true, &full16), 50);
    EXPECT_EQ(LevelPercent(Strength(kWeakestMilliDecibel), true, &millidecibel), 0);
    EXPECT_EQ(millidecibel.Unit, StrengthUnit::MilliDecibel);
    EXPECT_EQ(LevelPercent(Strength(kStrongestMilliDecibel), true, &millidecibel), 100);
    EXPECT_EQ(LevelPercent(Strength(-45000), true, &millidecibel), 50);
    EXPECT_EQ(LevelPercent(Strength(-90000), true, &millidecibel), 0);
    EXPECT_EQ(LevelPercent(Strength(INT32_MIN), true, &millidecibel), 0);
    EXPECT_EQ(LevelPercent(Strength(-1000), true, &millidecibel), 100);  // above nominal, clamped
}

TEST(BdaLevel, OneStrayReadingNeitherSwitchesTheScaleNorShows) {
    StrengthJudge judge;
    EXPECT_EQ(Repeat(&judge, 50, 3), 50);
    EXPECT_EQ(LevelPercent(Strength(40000), true, &judge), 50);  // held, not 100
    EXPECT_EQ(judge.Unit, StrengthUnit::Percent);
    EXPECT_EQ(LevelPercent(Strength(52), true, &judge), 52);
    EXPECT_EQ(LevelPercent(Strength(-30000), true, &judge), 52);  // nor a negative one
    EXPECT_EQ(Repeat(&judge, 40000, kUnitChangeReadings - 1), 52);
    EXPECT_EQ(LevelPercent(Strength(53), true, &judge), 53);  // a run broken before it counts
    EXPECT_EQ(judge.Unit, StrengthUnit::Percent);
}

TEST(BdaLevel, AUnitJudgedWronglyIsPutRightLaterInTheRun) {
    StrengthJudge judge;
    EXPECT_EQ(LevelPercent(Strength(30000), true, &judge), 46);  // a stray first reading decides...
    EXPECT_EQ(judge.Unit, StrengthUnit::Full16);
    EXPECT_EQ(Repeat(&judge, 60, kUnitChangeReadings - 1), 46);
    EXPECT_EQ(Repeat(&judge, 60, 1), 60);  // ...until the percent readings have shown their unit
    EXPECT_EQ(judge.Unit, StrengthUnit::Percent);
    EXPECT_EQ(Repeat(&judge, 13107, kUnitChangeReadings), 20);  // and back, the same way
    EXPECT_EQ(judge.Unit, StrengthUnit::Full16);
}

TEST(BdaLevel, ASixteenBitDriverStaysScaledWhenWeak) {
    StrengthJudge judge;
    EXPECT_EQ(Repeat(&judge, 65535, 1), 100);
    for (int i = 0; i < 3 * kUnitChangeReadings; ++i)
        EXPECT_EQ(LevelPercent(Strength(90), false, &judge), 0);  // weak and unlocked: 90 of 65535
    EXPECT_EQ(judge.Unit, StrengthUnit::Full16);
    EXPECT_EQ(LevelPercent(Strength(101), true, &judge), 0);
}

TEST(BdaLevel, QualityStandsInForMissingOrMeaninglessStrength) {
    StrengthJudge judge;
    EXPECT_EQ(LevelPercent(QualityOnly(64), true, &judge), 64);
    EXPECT_EQ(LevelPercent(Strength(0, true, 64), true, &judge), 64);  // unit unknown: 0 is "none"
    EXPECT_EQ(LevelPercent(Strength(65536, true, 40), true, &judge), 40);
    EXPECT_EQ(LevelPercent(Strength(INT32_MAX, true, 40), true, &judge), 40);
    EXPECT_EQ(judge.Unit, StrengthUnit::Unknown);
    EXPECT_EQ(LevelPercent(QualityOnly(250), true, &judge), 100);
    EXPECT_EQ(LevelPercent(QualityOnly(-5), true, &judge), 0);
    EXPECT_EQ(LevelPercent(SignalReadings{}, true, &judge), 0);
    StrengthJudge millidecibel;
    Repeat(&millidecibel, -45000, 1);
    EXPECT_EQ(LevelPercent(Strength(0, true, 30), true, &millidecibel), 30);  // 0 mDb would be 1 mW
}

// Strength and quality apart, as the readings interface offers them: the
// strength in the unit the level rule has judged, held with the level through
// a stray reading; the quality only where it is a percent.
TEST(BdaLevel, StrengthAndQualityApartInPercent) {
    StrengthJudge judge;
    EXPECT_EQ(judge.LastStrength, kNoPercent);
    EXPECT_EQ(LevelPercent(Strength(52428, true, 40), true, &judge), 80);
    EXPECT_EQ(judge.LastStrength, 80);
    EXPECT_EQ(QualityPercent(Strength(52428, true, 40)), 40);
    EXPECT_EQ(LevelPercent(Strength(40, true, 40), true, &judge), 80);  // stray: held
    EXPECT_EQ(judge.LastStrength, 80);
    EXPECT_EQ(LevelPercent(QualityOnly(64), true, &judge), 64);
    EXPECT_EQ(judge.LastStrength, kNoPercent);  // the level is the quality's, not a strength
    StrengthJudge millidecibel;
    Repeat(&millidecibel, -45000, 1);
    EXPECT_EQ(millidecibel.LastStrength, 50);
    LevelPercent(Strength(0, true, 30), true, &millidecibel);
    EXPECT_EQ(millidecibel.LastStrength, kNoPercent);  // 0 mDb is no strength
    EXPECT_EQ(QualityPercent(QualityOnly(0)), 0);
    EXPECT_EQ(QualityPercent(QualityOnly(100)), 100);
    EXPECT_EQ(QualityPercent(QualityOnly(101)), kNoPercent);
    EXPECT_EQ(QualityPercent(QualityOnly(-1)), kNoPercent);
    EXPECT_EQ(QualityPercent(Strength(50)), kNoPercent);  // no quality read
}

TEST(BdaPacing, EveryReadFillsOneRefreshPeriod) {
    EXPECT_EQ(StatisticsPauseMs(0), 20u);
    EXPECT_EQ(StatisticsPauseMs(-5000), 20u);  // a clock step back never shortens it
    EXPECT_EQ(StatisticsPauseMs(19001), 1u);
    EXPECT_EQ(StatisticsPauseMs(19999), 1u);  // rounded up, never short
    EXPECT_EQ(StatisticsPauseMs(20000), 0u);
    EXPECT_EQ(StatisticsPauseMs(500000), 0u);
}

}  // namespace
