#include "bdatuner/bda_mapping.h"

#include <cstdint>

namespace {

constexpr int32_t kKhzPerMhz = 1000;

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

void StartModulationSearch(ModulationSearch* search) {
    search->Current = search->DriverChooses ? kBdaNotSet : kBdaModulationQpsk;
    search->Locked = false;
}

bool NextModulationDue(ModulationSearch* search, bool locked, uint32_t msSinceTune) {
    if (search->DriverChooses || search->Locked) return false;
    if (locked) {
        search->Locked = true;  // the dish may drift off again; the modulation stays right
        return false;
    }
    if (msSinceTune < kModulationDwellMs) return false;
    search->Current = search->Current == kBdaModulationQpsk ? kBdaModulation8psk : kBdaModulationQpsk;
    return true;
}

void LeaveModulationToDriver(ModulationSearch* search) {
    search->DriverChooses = true;
    search->Current = kBdaNotSet;
}

const char* ModulationName(int32_t modulation) {
    if (modulation == kBdaModulationQpsk) return "QPSK";
    if (modulation == kBdaModulation8psk) return "8PSK";
    return "unset";
}

bool StreamTapMayOpen(bool tuned, bool locked, uint32_t msSinceTune) {
    return tuned && locked && msSinceTune >= kStreamTapSettleMs;
}
