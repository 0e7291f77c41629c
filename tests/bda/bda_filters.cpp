// The network providers and the MPEG-2 demultiplexer, built on the filter
// doubles.
#include "bda_filters.h"

#include "filter_base.h"
#include "tuning_model.h"

void Latency() {
    if (Script().LatencyMs) Sleep(Script().LatencyMs);
}

namespace {

// The oscillators and switch of a tune: the locator's overrides where set,
// else the tuning space's values.
LONG Effective(LONG overrideValue, LONG spaceValue) { return overrideValue != -1 ? overrideValue : spaceValue; }

LocatorDouble* LocatorOf(ITuneRequest* request) {
    TuneRequestDouble* tune = InternalsOf<TuneRequestDouble>(request);
    return tune ? InternalsOf<LocatorDouble>(tune->Locator) : nullptr;
}

// The DVB-S network provider, and Microsoft's generic one: the same double
// under another class id and kind.
class ProviderDouble final : public FilterDouble, public ITuner {
public:
    ProviderDouble(const char* kind, const CLSID& clsid) : FilterDouble(kind, clsid) {
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
    HRESULT STDMETHODCALLTYPE put_TuneRequest(ITuneRequest* request) override;
    HRESULT STDMETHODCALLTYPE Validate(ITuneRequest*) override { return Simple("Validate"); }
    HRESULT STDMETHODCALLTYPE get_PreferredComponentTypes(IComponentTypes**) override {
        return Unsupported("get_PreferredComponentTypes");
    }
    HRESULT STDMETHODCALLTYPE put_PreferredComponentTypes(IComponentTypes*) override {
        return Unsupported("put_PreferredComponentTypes");
    }
    HRESULT STDMETHODCALLTYPE get_SignalStrength(LONG* out) override {
        Latency();
        return GetValue(this, "get_SignalStrength", StrengthNow(), out);
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

// A driver that wants the modulation left unset refuses a request naming one.
HRESULT STDMETHODCALLTYPE ProviderDouble::put_TuneRequest(ITuneRequest* request) {
    LocatorDouble* locator = LocatorOf(request);
    const int modulation = locator ? locator->Modulation : -1;
    const long frequency = locator ? static_cast<long>(locator->Frequency) : 0;
    if (Script().Card.RefusesModulation && modulation != -1) {
        Log("put_TuneRequest 0x%08lX modulation %d refused", static_cast<unsigned long>(E_INVALIDARG), modulation);
        return E_INVALIDARG;
    }
    const HRESULT hr = PutHeld(this, "put_TuneRequest", request_, request);
    if (SUCCEEDED(hr)) {
        LogTune(request);
        MarkTuned(modulation, frequency);
    }
    return hr;
}

// One line with everything the request brings to the card.
void ProviderDouble::LogTune(ITuneRequest* request) const {
    TuneRequestDouble* tune = InternalsOf<TuneRequestDouble>(request);
    LocatorDouble* locator = LocatorOf(request);
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

class DemuxDouble final : public FilterDouble, public IMpeg2Demultiplexer {
public:
    DemuxDouble() : FilterDouble("Demux", CLSID_MPEG2Demultiplexer) {
        AddPin(L"MPEG-2 Stream", PINDIR_INPUT, TypeOf(MEDIATYPE_Stream, MEDIASUBTYPE_MPEG2_TRANSPORT));
    }
    DOUBLE_IUNKNOWN
    bool TakesSamples() const override { return true; }  // what reaches it through the bridge's tap
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

HRESULT CreateProviderDouble(REFIID iid, void** out) {
    return Hand(new (std::nothrow) ProviderDouble("Provider", CLSID_DVBSNetworkProvider), iid, out);
}
HRESULT CreateGenericProviderDouble(REFIID iid, void** out) {
    return Hand(new (std::nothrow) ProviderDouble("Generic", kGenericNetworkProviderClassId), iid, out);
}
HRESULT CreateDemuxDouble(REFIID iid, void** out) { return Hand(new (std::nothrow) DemuxDouble(), iid, out); }
