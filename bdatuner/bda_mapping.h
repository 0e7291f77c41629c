// What the bridge makes of the program's tuner calls: the values it stores,
// the tune request they become and the level it reports. Byte-level, no
// platform headers, so it builds natively for the tests.
#pragma once
#include <cstdint>

// The values of the program's Set calls, as the bridge stores them.
struct BdaTuneSettings {
    int32_t FrequencyMhz = 0;
    int32_t SymbolRateKsps = 0;
    int32_t LnbFrequencyMhz = 0;  // the last value sent
    int32_t LnbSelection = 0;
    int32_t Polarisation = 0;
    int32_t FecCode = 0;
    int32_t Diseqc = 0;
};

// Numbers of the BDA enumerations the tune request uses; the bridge checks
// them against the platform headers at compile time.
constexpr int32_t kBdaNotSet = -1;
constexpr int32_t kBdaPolarisationHorizontal = 1;
constexpr int32_t kBdaPolarisationVertical = 2;
constexpr int32_t kBdaModulationQpsk = 20;

// The universal Ku-band LNB and the C-band LNB, in kHz as BDA wants them.
constexpr int32_t kUniversalLowOscillatorKhz = 9750000;
constexpr int32_t kUniversalHighOscillatorKhz = 10600000;
constexpr int32_t kUniversalSwitchKhz = 11700000;
constexpr int32_t kCBandOscillatorKhz = 5150000;
// An oscillator below this is a C-band LNB's (Ku-band ones start at 9750 MHz).
constexpr int32_t kCBandOscillatorLimitMhz = 9000;
// Above every satellite frequency: a C-band LNB never switches band.
constexpr int32_t kNoBandSwitchKhz = 20000000;

// One tune request in BDA's terms.
struct BdaTuneRequest {
    int32_t CarrierKhz = 0;
    int32_t SymbolRate = 0;  // ksym/s
    int32_t Polarisation = kBdaNotSet;
    int32_t Modulation = kBdaModulationQpsk;
    int32_t InnerFecRate = kBdaNotSet;
    int32_t LowOscillatorKhz = 0;
    int32_t HighOscillatorKhz = 0;
    int32_t SwitchKhz = 0;
    int32_t LnbSource = 0;  // 0: no DiSEqC command; 1..4: committed port A..D
};

int32_t PolarisationFor(int32_t code);
int32_t LnbSourceFor(int32_t diseqcCode);
// Fills the LNB oscillators and switch from the last LNB frequency sent.
void ChooseLnb(int32_t lastLnbFrequencyMhz, BdaTuneRequest* request);
// False when a value cannot be tuned at all (no frequency, overflow).
bool MapTuneSettings(const BdaTuneSettings& settings, BdaTuneRequest* request);

// The unit a driver's signal strength turned out to use; once a reading has
// shown it, it holds for the rest of the session (see LevelPercent).
enum class StrengthUnit : int8_t { Unknown, Percent, Full16, MilliDecibel };

struct SignalReadings {
    bool HasStrength = false;
    int32_t Strength = 0;
    bool HasQuality = false;
    int32_t Quality = 0;
};

// The mDb window shown as 0..100 percent.
constexpr int32_t kWeakestMilliDecibel = -70000;
constexpr int32_t kStrongestMilliDecibel = -20000;

int32_t LevelPercent(const SignalReadings& readings, StrengthUnit* unit);

// Drivers refresh their statistics about every 20 ms; each statistics call
// lasts at least that long so that a poll loop without pauses cannot spin.
constexpr int64_t kStatisticsPeriodUs = 20000;
// Milliseconds still to wait after a call has run for elapsedUs.
uint32_t StatisticsPauseMs(int64_t elapsedUs);
