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

TEST(BdaModulation, AlternatesUntilALockThenKeepsIt) {
    ModulationSearch search;
    StartModulationSearch(&search);
    EXPECT_EQ(search.Current, kBdaModulationQpsk);
    EXPECT_FALSE(NextModulationDue(&search, false, kModulationDwellMs - 1));
    ASSERT_TRUE(NextModulationDue(&search, false, kModulationDwellMs));
    EXPECT_EQ(search.Current, kBdaModulation8psk);
    ASSERT_TRUE(NextModulationDue(&search, false, kModulationDwellMs + 5));  // still nothing: QPSK again
    EXPECT_EQ(search.Current, kBdaModulationQpsk);
    ASSERT_TRUE(NextModulationDue(&search, false, kModulationDwellMs));
    EXPECT_FALSE(NextModulationDue(&search, true, 200));
    EXPECT_FALSE(NextModulationDue(&search, false, 10 * kModulationDwellMs));  // lock lost: 8PSK stays
    EXPECT_EQ(search.Current, kBdaModulation8psk);
    StartModulationSearch(&search);  // the next transponder searches afresh
    EXPECT_EQ(search.Current, kBdaModulationQpsk);
    EXPECT_TRUE(NextModulationDue(&search, false, kModulationDwellMs));
}

TEST(BdaModulation, ADriverThatWantsItUnsetKeepsItUnset) {
    ModulationSearch search;
    LeaveModulationToDriver(&search);
    EXPECT_EQ(search.Current, kBdaNotSet);
    EXPECT_FALSE(NextModulationDue(&search, false, 100 * kModulationDwellMs));
    StartModulationSearch(&search);
    EXPECT_EQ(search.Current, kBdaNotSet);
}

// A driver that reports the new lock 20 ms after the tune may still be
// delivering the transponder tuned before: the tap waits for the tune to
// settle, and reads nothing without a lock or after a refused tune.
TEST(BdaStreamTap, OpensOnlyUnderALockReadOnceTheTuneHasSettled) {
    EXPECT_FALSE(StreamTapMayOpen(true, true, 20));
    EXPECT_FALSE(StreamTapMayOpen(true, true, kStreamTapSettleMs - 1));
    EXPECT_TRUE(StreamTapMayOpen(true, true, kStreamTapSettleMs));
    EXPECT_TRUE(StreamTapMayOpen(true, true, 3600000));
    EXPECT_FALSE(StreamTapMayOpen(true, false, 10 * kStreamTapSettleMs));
    EXPECT_FALSE(StreamTapMayOpen(false, true, 10 * kStreamTapSettleMs));
}

}  // namespace
