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
constexpr int32_t kBdaModulation8psk = 27;

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

// DVB-S2 transponders need 8PSK and DVB-S ones QPSK, and the program's
// transponder says neither: until a lock shows which one it is, the tune
// request is sent again with the other every kModulationDwellMs. A driver that
// refuses a request naming a modulation is left to find it itself.
constexpr uint32_t kModulationDwellMs = 3000;

struct ModulationSearch {
    int32_t Current = kBdaModulationQpsk;  // what the latest tune request named
    bool Locked = false;                   // Current has locked since the transponder was set
    bool DriverChooses = false;            // the driver wants the modulation left unset
};

// A new transponder: the search starts again from QPSK (or the driver's choice).
void StartModulationSearch(ModulationSearch* search);
// After a reading taken msSinceTune after the latest tune request: true when
// the card is to be tuned again with search->Current, now the other modulation.
bool NextModulationDue(ModulationSearch* search, bool locked, uint32_t msSinceTune);
// The driver refused a request that named a modulation.
void LeaveModulationToDriver(ModulationSearch* search);
// "QPSK", "8PSK" or "unset".
const char* ModulationName(int32_t modulation);

// A driver may report the new transponder's lock a few tens of milliseconds
// after the tune request, while its buffers (and the samples on their way
// through the graph) still hold the stream of the transponder tuned before:
// read then, that stream's tables would name the old satellite for the new
// entry. A capture pin's buffers hold tens to a few hundred milliseconds of
// stream; half a second covers them, and costs nothing a person sees, since
// the tables that name the satellite come only every few seconds anyway.
constexpr uint32_t kStreamTapSettleMs = 500;
// Whether the stream tap may read what the card delivers, judged on a
// statistics read that began msSinceTune after the latest tune request
// returned (tuned: the card took it) and found the lock or not: only under a
// lock, and only once the settle time has passed.
bool StreamTapMayOpen(bool tuned, bool locked, uint32_t msSinceTune);
