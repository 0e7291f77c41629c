// The DVB-S network provider, the BDA tuner with its two control nodes, and
// the MPEG-2 demultiplexer, built on the filter doubles.
#include "bda_filters.h"

#include "filter_base.h"
#include "tuning_model.h"

namespace {

// {0E7C3A52-91D4-4C7B-8F26-3D5A1B6E9C07}: the private major type of the
// antenna connection between provider and tuner.
const GUID kAntennaMajorType = {0x0e7c3a52, 0x91d4, 0x4c7b, {0x8f, 0x26, 0x3d, 0x5a, 0x1b, 0x6e, 0x9c, 0x07}};

void Latency() {
    if (Script().LatencyMs) Sleep(Script().LatencyMs);
}

// The oscillators and switch of a tune: the locator's overrides where set,
// else the tuning space's values.
LONG Effective(LONG overrideValue, LONG spaceValue) { return overrideValue != -1 ? overrideValue : spaceValue; }

class ProviderDouble final : public FilterDouble, public ITuner {
public:
    ProviderDouble() : FilterDouble("Provider", CLSID_DVBSNetworkProvider) {
        AddPin(L"Antenna Out", PINDIR_OUTPUT, TypeOf(kAntennaMajorType, GUID_NULL));
    }
    ~ProviderDouble() override {
        ReleaseHeld(space_);
        ReleaseHeld(request_);
    }
    DOUBLE_IUNKNOWN
    HRESULT STDMETHODCALLTYPE get_TuningSpace(ITuningSpace** v) override { return GetHeld(this, "get_TuningSpace", space_, v); }
    HRESULT STDMETHODCALLTYPE put_TuningSpace(ITuningSpace* v) override { return PutHeld(this, "put_TuningSpace", space_, v); }
    HRESULT STDMETHODCALLTYPE EnumTuningSpaces(IEnumTuningSpaces**) override { return Unsupported("EnumTuningSpaces"); }
    HRESULT STDMETHODCALLTYPE get_TuneRequest(ITuneRequest** v) override { return GetHeld(this, "get_TuneRequest", request_, v); }
    HRESULT STDMETHODCALLTYPE put_TuneRequest(ITuneRequest* request) override {
        const HRESULT hr = PutHeld(this, "put_TuneRequest", request_, request);
        if (SUCCEEDED(hr)) {
            LogTune(request);
            MarkTuned();
        }
        return hr;
    }
    HRESULT STDMETHODCALLTYPE Validate(ITuneRequest*) override { return Simple("Validate"); }
    HRESULT STDMETHODCALLTYPE get_PreferredComponentTypes(IComponentTypes**) override {
        return Unsupported("get_PreferredComponentTypes");
    }
    HRESULT STDMETHODCALLTYPE put_PreferredComponentTypes(IComponentTypes*) override {
        return Unsupported("put_PreferredComponentTypes");
    }
    HRESULT STDMETHODCALLTYPE get_SignalStrength(LONG* out) override {
        Latency();
        return GetValue(this, "get_SignalStrength", SignalNow().Strength, out);
    }
    HRESULT STDMETHODCALLTYPE TriggerSignalEvents(LONG) override { return Simple("TriggerSignalEvents"); }

private:
    void* FindMore(REFIID iid) override {
        return IsEqualGUID(iid, IID_ITuner) ? static_cast<ITuner*>(this) : nullptr;
    }
    HRESULT Simple(const char* method) const {
        bool forced = false;
        const HRESULT hr = Enter(method, &forced);
        Log("%s 0x%08lX", method, static_cast<unsigned long>(hr));
        return hr;
    }
    HRESULT Unsupported(const char* method) const {
        Log("%s 0x%08lX", method, static_cast<unsigned long>(E_NOTIMPL));
        return E_NOTIMPL;
    }
    void LogTune(ITuneRequest* request) const;

    ITuningSpace* space_ = nullptr;
    ITuneRequest* request_ = nullptr;
};

// One line with everything the request brings to the card.
void ProviderDouble::LogTune(ITuneRequest* request) const {
    TuneRequestDouble* tune = InternalsOf<TuneRequestDouble>(request);
    LocatorDouble* locator = tune ? InternalsOf<LocatorDouble>(tune->Locator) : nullptr;
    TuningSpaceDouble* space = InternalsOf<TuningSpaceDouble>(tune && tune->Space ? tune->Space : space_);
    if (!tune || !locator || !space) {
        Log("TUNE incomplete request %s locator %s space %s", tune ? "ok" : "missing",
            locator ? "ok" : "missing", space ? "ok" : "missing");
        return;
    }
    const LONG low = Effective(locator->LowOverride, space->LowOscillator);
    const LONG high = Effective(locator->HighOverride, space->HighOscillator);
    const LONG lnbSwitch = Effective(locator->SwitchOverride, space->LnbSwitch);
    const LONG lo = (lnbSwitch > 0 && locator->Frequency >= lnbSwitch) ? high : low;
    Log("TUNE frequency %ld symbolrate %ld polarisation %d modulation %d fec %d fecrate %d low %ld high %ld "
        "switch %ld lo %ld lnbsource %d",
        static_cast<long>(locator->Frequency), static_cast<long>(locator->SymbolRate), locator->Polar,
        locator->Modulation, locator->InnerFec, locator->InnerFecRate, static_cast<long>(low),
        static_cast<long>(high), static_cast<long>(lnbSwitch), static_cast<long>(lo), locator->LnbSource);
}

// A control node of the tuner: 0 the RF tuner, 1 the QPSK demodulator. Both
// report the scripted signal; the RF node also takes DiSEqC commands.
class NodeDouble final : public IBDA_SignalStatistics, public IBDA_DiseqCommand, public Counted {
public:
    explicit NodeDouble(ULONG type) : Counted("Node"), type_(type) { Log("type %lu", type); }
    DOUBLE_IUNKNOWN
    // IBDA_SignalStatistics: the script decides; puts are recorded only.
    HRESULT STDMETHODCALLTYPE put_SignalStrength(LONG v) override { return Record("put_SignalStrength", v); }
    HRESULT STDMETHODCALLTYPE get_SignalStrength(LONG* out) override {
        Latency();
        return GetValue(this, "get_SignalStrength", SignalNow().Strength, out);
    }
    HRESULT STDMETHODCALLTYPE put_SignalQuality(LONG v) override { return Record("put_SignalQuality", v); }
    HRESULT STDMETHODCALLTYPE get_SignalQuality(LONG* out) override {
        Latency();
        return GetValue(this, "get_SignalQuality", SignalNow().Quality, out);
    }
    HRESULT STDMETHODCALLTYPE put_SignalPresent(BOOLEAN v) override { return Record("put_SignalPresent", v); }
    HRESULT STDMETHODCALLTYPE get_SignalPresent(BOOLEAN* out) override {
        Latency();
        return GetValue(this, "get_SignalPresent", static_cast<BOOLEAN>(SignalNow().Present), out);
    }
    HRESULT STDMETHODCALLTYPE put_SignalLocked(BOOLEAN v) override { return Record("put_SignalLocked", v); }
    HRESULT STDMETHODCALLTYPE get_SignalLocked(BOOLEAN* out) override {
        Latency();
        return GetValue(this, "get_SignalLocked", static_cast<BOOLEAN>(SignalNow().Locked), out);
    }
    HRESULT STDMETHODCALLTYPE put_SampleTime(LONG v) override { return PutValue(this, "put_SampleTime", sampleMs_, v); }
    HRESULT STDMETHODCALLTYPE get_SampleTime(LONG* out) override { return GetValue(this, "get_SampleTime", sampleMs_, out); }
    // IBDA_DiseqCommand
    HRESULT STDMETHODCALLTYPE put_EnableDiseqCommands(BOOLEAN v) override { return Record("put_EnableDiseqCommands", v); }
    HRESULT STDMETHODCALLTYPE put_DiseqLNBSource(ULONG v) override { return Record("put_DiseqLNBSource", static_cast<LONG>(v)); }
    HRESULT STDMETHODCALLTYPE put_DiseqUseToneBurst(BOOLEAN v) override { return Record("put_DiseqUseToneBurst", v); }
    HRESULT STDMETHODCALLTYPE put_DiseqRepeats(ULONG v) override { return Record("put_DiseqRepeats", static_cast<LONG>(v)); }
    HRESULT STDMETHODCALLTYPE put_DiseqSendCommand(ULONG id, ULONG length, BYTE* command) override;
    HRESULT STDMETHODCALLTYPE get_DiseqResponse(ULONG, ULONG* length, BYTE*) override {
        if (length) *length = 0;
        return Record("get_DiseqResponse", 0);
    }

private:
    void* Find(REFIID iid) override {
        if (IsOneOf(iid, {&IID_IUnknown, &IID_IBDA_SignalStatistics})) return static_cast<IBDA_SignalStatistics*>(this);
        if (type_ == 0 && IsEqualGUID(iid, IID_IBDA_DiseqCommand)) return static_cast<IBDA_DiseqCommand*>(this);
        return nullptr;
    }
    HRESULT Record(const char* method, LONG value) const {
        bool forced = false;
        const HRESULT hr = Enter(method, &forced);
        Log("%s 0x%08lX %ld", method, static_cast<unsigned long>(hr), static_cast<long>(value));
        return hr;
    }

    ULONG type_;
    LONG sampleMs_ = 0;
};

HRESULT NodeDouble::put_DiseqSendCommand(ULONG id, ULONG length, BYTE* command) {
    char bytes[3 * 16 + 1] = "";
    for (ULONG i = 0; command && i < length && i < 16; ++i) wsprintfA(bytes + 3 * i, " %02X", command[i]);
    bool forced = false;
    const HRESULT hr = Enter("put_DiseqSendCommand", &forced);
    Log("put_DiseqSendCommand 0x%08lX %lu%s", static_cast<unsigned long>(hr), id, bytes);
    return hr;
}

constexpr ULONG kNodeTypes = 2;

class TunerDouble final : public FilterDouble, public IBDA_Topology, public IBDA_DeviceControl {
public:
    TunerDouble() : FilterDouble("Tuner", kBdaDoubleTunerClassId) {
        AddPin(L"Input0", PINDIR_INPUT, TypeOf(kAntennaMajorType, GUID_NULL));
        AddPin(L"MPEG2 Transport", PINDIR_OUTPUT, TypeOf(MEDIATYPE_Stream, MEDIASUBTYPE_MPEG2_TRANSPORT));
    }
    DOUBLE_IUNKNOWN
    // IBDA_Topology
    HRESULT STDMETHODCALLTYPE GetNodeTypes(ULONG* count, ULONG max, ULONG types[]) override;
    HRESULT STDMETHODCALLTYPE GetNodeDescriptors(ULONG* count, ULONG max, BDANODE_DESCRIPTOR nodes[]) override;
    HRESULT STDMETHODCALLTYPE GetNodeInterfaces(ULONG type, ULONG* count, ULONG max, GUID ids[]) override;
    HRESULT STDMETHODCALLTYPE GetPinTypes(ULONG* count, ULONG max, ULONG types[]) override;
    HRESULT STDMETHODCALLTYPE GetTemplateConnections(ULONG*, ULONG, BDA_TEMPLATE_CONNECTION[]) override {
        return Answer("GetTemplateConnections", E_NOTIMPL);
    }
    HRESULT STDMETHODCALLTYPE CreatePin(ULONG, ULONG*) override { return Answer("CreatePin", E_NOTIMPL); }
    HRESULT STDMETHODCALLTYPE DeletePin(ULONG) override { return Answer("DeletePin", E_NOTIMPL); }
    HRESULT STDMETHODCALLTYPE SetMediaType(ULONG, AM_MEDIA_TYPE*) override { return Answer("SetMediaType", E_NOTIMPL); }
    HRESULT STDMETHODCALLTYPE SetMedium(ULONG, REGPINMEDIUM*) override { return Answer("SetMedium", E_NOTIMPL); }
    HRESULT STDMETHODCALLTYPE CreateTopology(ULONG, ULONG) override { return Answer("CreateTopology", S_OK); }
    HRESULT STDMETHODCALLTYPE GetControlNode(ULONG in, ULONG out, ULONG type, IUnknown** node) override;
    // IBDA_DeviceControl
    HRESULT STDMETHODCALLTYPE StartChanges() override { return Answer("StartChanges", S_OK); }
    HRESULT STDMETHODCALLTYPE CheckChanges() override { return Answer("CheckChanges", S_OK); }
    HRESULT STDMETHODCALLTYPE CommitChanges() override { return Answer("CommitChanges", S_OK); }
    HRESULT STDMETHODCALLTYPE GetChangeState(ULONG* state) override {
        if (!state) return E_POINTER;
        *state = 0;  // BDA_CHANGES_COMPLETE
        return Answer("GetChangeState", S_OK);
    }

private:
    void* FindMore(REFIID iid) override {
        if (IsEqualGUID(iid, IID_IBDA_Topology)) return static_cast<IBDA_Topology*>(this);
        if (IsEqualGUID(iid, IID_IBDA_DeviceControl)) return static_cast<IBDA_DeviceControl*>(this);
        return nullptr;
    }
    HRESULT Answer(const char* method, HRESULT normal) const {
        bool forced = false;
        HRESULT hr = Enter(method, &forced);
        if (!forced) hr = normal;
        Log("%s 0x%08lX", method, static_cast<unsigned long>(hr));
        return hr;
    }
};

// Fills a caller's array as the BDA topology methods do: the count always,
// the items when the array is large enough.
template <typename T, typename Fill>
HRESULT FillList(ULONG* count, ULONG max, T items[], ULONG have, Fill fill) {
    if (!count) return E_POINTER;
    *count = have;
    if (!items || max < have) return max == 0 ? S_OK : E_INVALIDARG;
    for (ULONG i = 0; i < have; ++i) fill(i, items[i]);
    return S_OK;
}

HRESULT TunerDouble::GetNodeTypes(ULONG* count, ULONG max, ULONG types[]) {
    const HRESULT hr = FillList(count, max, types, kNodeTypes, [](ULONG i, ULONG& t) { t = i; });
    return Answer("GetNodeTypes", hr);
}

HRESULT TunerDouble::GetNodeDescriptors(ULONG* count, ULONG max, BDANODE_DESCRIPTOR nodes[]) {
    const HRESULT hr = FillList(count, max, nodes, kNodeTypes, [](ULONG i, BDANODE_DESCRIPTOR& d) {
        d.ulBdaNodeType = i;
        d.guidFunction = i == 0 ? kNodeRfTuner : kNodeQpskDemodulator;
        d.guidName = d.guidFunction;
    });
    return Answer("GetNodeDescriptors", hr);
}

HRESULT TunerDouble::GetNodeInterfaces(ULONG type, ULONG* count, ULONG max, GUID ids[]) {
    if (type >= kNodeTypes) return Answer("GetNodeInterfaces", E_INVALIDARG);
    const HRESULT hr = FillList(count, max, ids, type == 0 ? 2 : 1, [](ULONG i, GUID& g) {
        g = i == 0 ? IID_IBDA_SignalStatistics : IID_IBDA_DiseqCommand;
    });
    return Answer("GetNodeInterfaces", hr);
}

HRESULT TunerDouble::GetPinTypes(ULONG* count, ULONG max, ULONG types[]) {
    const HRESULT hr = FillList(count, max, types, 2, [](ULONG i, ULONG& t) { t = i; });
    return Answer("GetPinTypes", hr);
}

HRESULT TunerDouble::GetControlNode(ULONG in, ULONG out, ULONG type, IUnknown** node) {
    if (!node) return E_POINTER;
    *node = nullptr;
    bool forced = false;
    HRESULT hr = Enter("GetControlNode", &forced);
    if (!forced && type >= kNodeTypes) hr = E_INVALIDARG;
    if (!forced && type < kNodeTypes) {
        NodeDouble* made = new (std::nothrow) NodeDouble(type);
        hr = made ? S_OK : E_OUTOFMEMORY;
        *node = static_cast<IBDA_SignalStatistics*>(made);
    }
    Log("GetControlNode 0x%08lX %lu %lu %lu", static_cast<unsigned long>(hr), in, out, type);
    return hr;
}

class DemuxDouble final : public FilterDouble, public IMpeg2Demultiplexer {
public:
    DemuxDouble() : FilterDouble("Demux", CLSID_MPEG2Demultiplexer) {
        AddPin(L"MPEG-2 Stream", PINDIR_INPUT, TypeOf(MEDIATYPE_Stream, MEDIASUBTYPE_MPEG2_TRANSPORT));
    }
    DOUBLE_IUNKNOWN
    HRESULT WINAPI CreateOutputPin(AM_MEDIA_TYPE*, LPWSTR name, IPin**) override { return Refuse("CreateOutputPin", name); }
    HRESULT WINAPI SetOutputPinMediaType(LPWSTR name, AM_MEDIA_TYPE*) override { return Refuse("SetOutputPinMediaType", name); }
    HRESULT WINAPI DeleteOutputPin(LPWSTR name) override { return Refuse("DeleteOutputPin", name); }

private:
    void* FindMore(REFIID iid) override {
        return IsEqualGUID(iid, IID_IMpeg2Demultiplexer) ? static_cast<IMpeg2Demultiplexer*>(this) : nullptr;
    }
    // Output pins are not made: nothing downstream of the demultiplexer is
    // needed to tune and measure.
    HRESULT Refuse(const char* method, LPCWSTR name) const {
        Log("%s 0x%08lX %ls", method, static_cast<unsigned long>(E_NOTIMPL), name ? name : L"(null)");
        return E_NOTIMPL;
    }
};

}  // namespace

HRESULT CreateProviderDouble(REFIID iid, void** out) { return Hand(new (std::nothrow) ProviderDouble(), iid, out); }
HRESULT CreateTunerDouble(REFIID iid, void** out) { return Hand(new (std::nothrow) TunerDouble(), iid, out); }
HRESULT CreateDemuxDouble(REFIID iid, void** out) { return Hand(new (std::nothrow) DemuxDouble(), iid, out); }
