#include "bdatuner/bda_signal.h"

#include <cstdio>

#include "bdatuner/bda_log.h"

namespace {

HRESULT FillLocator(IDVBSLocator* locator, const BdaTuneRequest& request) {
    HRESULT result = locator->put_CarrierFrequency(request.CarrierKhz);
    if (SUCCEEDED(result)) result = locator->put_SymbolRate(request.SymbolRate);
    if (SUCCEEDED(result))
        result = locator->put_SignalPolarisation(static_cast<Polarisation>(request.Polarisation));
    if (SUCCEEDED(result)) result = locator->put_Modulation(static_cast<ModulationType>(request.Modulation));
    if (SUCCEEDED(result)) result = locator->put_InnerFEC(BDA_FEC_METHOD_NOT_SET);
    if (SUCCEEDED(result))
        result = locator->put_InnerFECRate(static_cast<BinaryConvolutionCodeRate>(request.InnerFecRate));
    return result;
}

HRESULT SetLnb(IDVBSTuningSpace* space, const BdaTuneRequest& request) {
    HRESULT result = space->put_LowOscillator(request.LowOscillatorKhz);
    if (SUCCEEDED(result)) result = space->put_HighOscillator(request.HighOscillatorKhz);
    if (SUCCEEDED(result)) result = space->put_LNBSwitch(request.SwitchKhz);
    return result;
}

// The port (0: none) set on the node inside its filter's change transaction,
// where the filter has one: drivers that keep changes until a commit would
// otherwise never switch. With no port asked for, DiSEqC is switched off, so
// the port of an earlier transponder does not stay in force; that is done
// as well as the driver allows and is never a failure.
HRESULT CommitDiseqc(IBDA_DiseqCommand* command, IBDA_DeviceControl* control, int32_t source) {
    const bool inChange = control && SUCCEEDED(control->StartChanges());
    HRESULT result = command->put_EnableDiseqCommands(source != 0 ? TRUE : FALSE);
    if (SUCCEEDED(result) && source != 0) result = command->put_DiseqLNBSource(static_cast<ULONG>(source));
    if (SUCCEEDED(result) && inChange) result = control->CheckChanges();
    if (SUCCEEDED(result) && inChange) result = control->CommitChanges();
    if (source == 0 && FAILED(result))
        BdaLog("could not switch DiSEqC off (%s): the driver keeps what it has", LogResult(result).Text);
    else if (SUCCEEDED(result))
        BdaLog("DiSEqC %s on the card's DiSEqC node%s", source != 0 ? "port set" : "switched off",
               inChange ? ", inside the driver's change transaction" : " (the filter has no change transaction)");
    return source != 0 ? result : S_OK;
}

// The driver's own DiSEqC control where it has one, else the locator's LNB
// source, which the network provider passes on.
HRESULT SelectLnbSource(BdaGraph* graph, IDVBSLocator* locator, int32_t source) {
    const BdaTopology& topology = graph->Topology;
    for (int i = 0; i < topology.Facts.NodeCount; ++i) {
        if (!topology.Diseqc[i]) continue;
        return CommitDiseqc(topology.Diseqc[i].Get(), topology.Control[topology.Facts.Nodes[i].Filter].Get(), source);
    }
    if (source == 0) return S_OK;
    BdaLog("the card has no DiSEqC node: the port goes in the locator's LNB source");
    ComPtr<IDVBSLocator2> locator2;
    const HRESULT result = locator->QueryInterface(IID_PPV_ARGS(&locator2));
    if (FAILED(result)) return result;
    return locator2->put_DiseqLNBSource(static_cast<LNB_Source>(source));
}

// The provider's strength: -1 is "cannot tell", 0 "not tuned"; for digital
// tuners it already weighs the bit error rate, so any signal counts as lock.
bool ReadProviderStrength(BdaGraph* graph, BdaReading* reading) {
    LONG strength = 0;
    if (!graph->ProviderTuner || FAILED(graph->ProviderTuner->get_SignalStrength(&strength)) || strength == -1)
        return false;
    reading->Locked = strength != 0;
    reading->Readings.HasStrength = true;
    reading->Readings.Strength = strength;
    reading->LockFrom = reading->StrengthFrom = kProviderStrength;
    return true;
}

void LogTuneRequest(const BdaTuneRequest& request) {
    char port[16] = "no DiSEqC";
    if (request.LnbSource >= 1 && request.LnbSource <= 4)
        std::snprintf(port, sizeof port, "DiSEqC port %c", static_cast<char>('A' + request.LnbSource - 1));
    const char* polarisation = request.Polarisation == kBdaPolarisationHorizontal ? "horizontal"
                               : request.Polarisation == kBdaPolarisationVertical ? "vertical"
                                                                                   : "polarisation not set";
    BdaLog("tune request: carrier %ld kHz, %ld ksym/s, %s, modulation %s, LNB oscillators %ld / %ld kHz, band "
           "switch %ld kHz, %s", static_cast<long>(request.CarrierKhz), static_cast<long>(request.SymbolRate),
           polarisation, ModulationName(request.Modulation), static_cast<long>(request.LowOscillatorKhz),
           static_cast<long>(request.HighOscillatorKhz), static_cast<long>(request.SwitchKhz), port);
}

}  // namespace

HRESULT SubmitBdaTune(BdaGraph* graph, const BdaTuneRequest& request) {
    if (!graph->ProviderTuner) return FailBdaStep(graph, "tune (the tuner is not initialised)", E_UNEXPECTED);
    LogTuneRequest(request);
    ComPtr<IDVBSLocator> locator;
    HRESULT result =
        CoCreateInstance(CLSID_DVBSLocator, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&locator));
    if (FAILED(result)) return FailBdaStep(graph, "create the DVB-S locator", result);
    const char* step = "fill in the DVB-S locator";
    result = FillLocator(locator.Get(), request);
    if (SUCCEEDED(result)) {
        step = "set the LNB oscillators on the tuning space";
        result = SetLnb(graph->Space.Get(), request);
    }
    if (SUCCEEDED(result)) {
        step = "select the DiSEqC switch port";
        result = SelectLnbSource(graph, locator.Get(), request.LnbSource);
    }
    return FAILED(result) ? FailBdaStep(graph, step, result) : SendBdaTuneRequest(graph, locator.Get());
}

HRESULT ReadBdaSignal(BdaGraph* graph, BdaReading* reading) {
    *reading = BdaReading{};
    const BdaTopology& topology = graph->Topology;
    for (int t = 0; t < topology.Facts.NodeCount; ++t) {
        const int node = topology.Facts.Trust[t];
        IBDA_SignalStatistics* statistics = topology.Statistics[node].Get();
        if (!statistics) continue;
        BOOLEAN flag = FALSE;
        LONG value = 0;
        if (reading->LockFrom == kNoNode && SUCCEEDED(statistics->get_SignalLocked(&flag))) {
            reading->LockFrom = node;
            reading->Locked = flag != FALSE;
        }
        if (reading->StrengthFrom == kNoNode && SUCCEEDED(statistics->get_SignalStrength(&value))) {
            reading->StrengthFrom = node;
            reading->Readings.HasStrength = true;
            reading->Readings.Strength = value;
        }
        if (reading->QualityFrom == kNoNode && SUCCEEDED(statistics->get_SignalQuality(&value))) {
            reading->QualityFrom = node;
            reading->Readings.HasQuality = true;
            reading->Readings.Quality = value;
        }
    }
    reading->Answered = reading->LockFrom != kNoNode || ReadProviderStrength(graph, reading);
    return reading->Answered ? S_OK : E_FAIL;
}
