// The BDA bridge's pure rules: the tune request made from the program's Set
// calls, the level made from a driver's statistics, and the call pacing.
#include <gtest/gtest.h>

#include "bdatuner/bda_mapping.h"

namespace {

BdaTuneSettings Settings(int32_t frequency, int32_t lastLnb, int32_t polarisation = 0, int32_t diseqc = 0) {
    BdaTuneSettings s;
    s.FrequencyMhz = frequency;
    s.SymbolRateKsps = 27500;
    s.LnbFrequencyMhz = lastLnb;
    s.Polarisation = polarisation;
    s.Diseqc = diseqc;
    s.FecCode = 6;
    return s;
}

int32_t Level(StrengthUnit* unit, bool hasStrength, int32_t strength, bool hasQuality = false,
              int32_t quality = 0) {
    SignalReadings r;
    r.HasStrength = hasStrength;
    r.Strength = strength;
    r.HasQuality = hasQuality;
    r.Quality = quality;
    return LevelPercent(r, unit);
}

TEST(BdaMapping, TransponderBecomesKilohertzQpskAndSearchedFec) {
    BdaTuneRequest r;
    ASSERT_TRUE(MapTuneSettings(Settings(12245, 10600), &r));
    EXPECT_EQ(r.CarrierKhz, 12245000);
    EXPECT_EQ(r.SymbolRate, 27500);
    EXPECT_EQ(r.Modulation, kBdaModulationQpsk);
    EXPECT_EQ(r.InnerFecRate, kBdaNotSet);
}

TEST(BdaMapping, PolarisationCodes) {
    EXPECT_EQ(PolarisationFor(0), kBdaPolarisationHorizontal);
    EXPECT_EQ(PolarisationFor(1), kBdaPolarisationVertical);
    EXPECT_EQ(PolarisationFor(3), kBdaNotSet);
    EXPECT_EQ(PolarisationFor(2), kBdaNotSet);
    EXPECT_EQ(PolarisationFor(-1), kBdaNotSet);
}

// The oscillator values the program sends for each band, last value last.
TEST(BdaMapping, LnbFollowsTheLastOscillatorSent) {
    struct Case {
        int32_t frequency, lastLnb, low, high, change;
    };
    const Case cases[] = {
        {10723, 9750, 9750000, 10600000, 11700000},   // Ku low band
        {11743, 10600, 9750000, 10600000, 11700000},  // Ku high band
        {12245, 10600, 9750000, 10600000, 11700000},
        {3740, 5150, 5150000, 5150000, kNoBandSwitchKhz},  // 9750 then 5150
    };
    for (const Case& c : cases) {
        BdaTuneRequest r;
        ASSERT_TRUE(MapTuneSettings(Settings(c.frequency, c.lastLnb), &r)) << c.frequency;
        EXPECT_EQ(r.LowOscillatorKhz, c.low) << c.frequency;
        EXPECT_EQ(r.HighOscillatorKhz, c.high) << c.frequency;
        EXPECT_EQ(r.SwitchKhz, c.change) << c.frequency;
        EXPECT_EQ(r.CarrierKhz, c.frequency * 1000);
    }
    BdaTuneRequest never;
    ChooseLnb(0, &never);  // no LNB call yet: the universal LNB
    EXPECT_EQ(never.LowOscillatorKhz, kUniversalLowOscillatorKhz);
}

TEST(BdaMapping, DiseqcCodesAreCommittedPorts) {
    const int32_t expected[] = {0, 1, 2, 1, 2, 3, 4};  // none, A, B, AA, BA, AB, BB
    for (int32_t code = 0; code <= 6; ++code) EXPECT_EQ(LnbSourceFor(code), expected[code]) << code;
    EXPECT_EQ(LnbSourceFor(7), 0);
    EXPECT_EQ(LnbSourceFor(-1), 0);
    EXPECT_EQ(LnbSourceFor(INT32_MIN), 0);
    BdaTuneRequest r;
    ASSERT_TRUE(MapTuneSettings(Settings(11743, 10600, 1, 5), &r));
    EXPECT_EQ(r.LnbSource, 3);
    EXPECT_EQ(r.Polarisation, kBdaPolarisationVertical);
}

TEST(BdaMapping, UntunableValuesAreRefusedNotWrapped) {
    BdaTuneRequest r;
    EXPECT_FALSE(MapTuneSettings(Settings(0, 9750), &r));
    EXPECT_FALSE(MapTuneSettings(Settings(-12245, 9750), &r));
    EXPECT_FALSE(MapTuneSettings(Settings(INT32_MAX, 9750), &r));  // kHz would overflow
    EXPECT_TRUE(MapTuneSettings(Settings(INT32_MAX / 1000, 9750), &r));
    BdaTuneSettings noRate = Settings(12245, 10600);
    noRate.SymbolRateKsps = 0;
    EXPECT_FALSE(MapTuneSettings(noRate, &r));
}

TEST(BdaLevel, PercentDriver) {
    StrengthUnit unit = StrengthUnit::Unknown;
    EXPECT_EQ(Level(&unit, true, 1), 1);
    EXPECT_EQ(unit, StrengthUnit::Percent);
    EXPECT_EQ(Level(&unit, true, 100), 100);
    EXPECT_EQ(Level(&unit, true, 0, true, 77), 0);  // a known percent 0 is 0, not the quality
}

TEST(BdaLevel, SixteenBitDriverStaysScaledWhenWeak) {
    StrengthUnit unit = StrengthUnit::Unknown;
    EXPECT_EQ(Level(&unit, true, 65535), 100);
    EXPECT_EQ(unit, StrengthUnit::Full16);
    EXPECT_EQ(Level(&unit, true, 32768), 50);
    EXPECT_EQ(Level(&unit, true, 101), 0);
    EXPECT_EQ(Level(&unit, true, 90), 0);  // not 90%: the unit is already known
    StrengthUnit upgraded = StrengthUnit::Percent;
    EXPECT_EQ(Level(&upgraded, true, 6554), 10);
    EXPECT_EQ(upgraded, StrengthUnit::Full16);
}

TEST(BdaLevel, MilliDecibelWindow) {
    StrengthUnit unit = StrengthUnit::Unknown;
    EXPECT_EQ(Level(&unit, true, kWeakestMilliDecibel), 0);
    EXPECT_EQ(unit, StrengthUnit::MilliDecibel);
    EXPECT_EQ(Level(&unit, true, kStrongestMilliDecibel), 100);
    EXPECT_EQ(Level(&unit, true, -45000), 50);
    EXPECT_EQ(Level(&unit, true, -90000), 0);
    EXPECT_EQ(Level(&unit, true, INT32_MIN), 0);
    EXPECT_EQ(Level(&unit, true, -1000), 100);  // above nominal
    EXPECT_EQ(Level(&unit, true, 30000), 100);  // stays mDb, clamped
    EXPECT_EQ(unit, StrengthUnit::MilliDecibel);
}

TEST(BdaLevel, QualityStandsInForMissingOrAbsurdStrength) {
    StrengthUnit unit = StrengthUnit::Unknown;
    EXPECT_EQ(Level(&unit, false, 0, true, 64), 64);
    EXPECT_EQ(Level(&unit, true, 0, true, 64), 64);  // unit unknown: 0 means "no strength"
    EXPECT_EQ(unit, StrengthUnit::Unknown);
    EXPECT_EQ(Level(&unit, true, 65536, true, 40), 40);
    EXPECT_EQ(Level(&unit, true, INT32_MAX, true, 40), 40);
    EXPECT_EQ(unit, StrengthUnit::Unknown);
    EXPECT_EQ(Level(&unit, false, 0, true, 250), 100);
    EXPECT_EQ(Level(&unit, false, 0, true, -5), 0);
    EXPECT_EQ(Level(&unit, false, 0, false, 0), 0);
}

TEST(BdaPacing, EveryCallFillsOneRefreshPeriod) {
    EXPECT_EQ(StatisticsPauseMs(0), 20u);
    EXPECT_EQ(StatisticsPauseMs(-5000), 20u);  // a clock step back never shortens it
    EXPECT_EQ(StatisticsPauseMs(19001), 1u);
    EXPECT_EQ(StatisticsPauseMs(19999), 1u);  // rounded up, never short
    EXPECT_EQ(StatisticsPauseMs(20000), 0u);
    EXPECT_EQ(StatisticsPauseMs(500000), 0u);
}

}  // namespace
