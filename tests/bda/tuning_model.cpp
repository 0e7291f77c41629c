// The tuning-model doubles' methods that do more than keep a value.
#include "tuning_model.h"

#include <new>

namespace {

HRESULT NotHere(const Counted* self, const char* method) {
    self->Log("%s 0x%08lX", method, static_cast<unsigned long>(E_NOTIMPL));
    return E_NOTIMPL;
}

}  // namespace

void* LocatorDouble::Find(REFIID iid) {
    if (IsOneOf(iid, {&IID_IUnknown, &IID_IDispatch, &IID_ILocator, &IID_IDigitalLocator, &IID_IDVBSLocator,
                      &IID_IDVBSLocator2, &kDoubleInternalsIid}))
        return static_cast<IDVBSLocator2*>(this);
    return nullptr;
}

HRESULT LocatorDouble::Clone(ILocator** out) {
    if (!out) return E_POINTER;
    LocatorDouble* copy = new (std::nothrow) LocatorDouble();
    if (copy) {
        copy->Frequency = Frequency, copy->SymbolRate = SymbolRate, copy->Orbital = Orbital;
        copy->Azimuth = Azimuth, copy->Elevation = Elevation, copy->LowOverride = LowOverride;
        copy->HighOverride = HighOverride, copy->SwitchOverride = SwitchOverride;
        copy->InnerFec = InnerFec, copy->OuterFec = OuterFec, copy->InnerFecRate = InnerFecRate;
        copy->OuterFecRate = OuterFecRate, copy->Modulation = Modulation, copy->Polar = Polar;
        copy->West = West, copy->LnbSource = LnbSource, copy->InversionOverride = InversionOverride;
        copy->Roll = Roll, copy->PilotMode = PilotMode;
    }
    Log("Clone");
    return Hand(copy, IID_ILocator, reinterpret_cast<void**>(out));
}

void* TuningSpaceDouble::Find(REFIID iid) {
    if (IsOneOf(iid, {&IID_IUnknown, &IID_IDispatch, &IID_ITuningSpace, &IID_IDVBTuningSpace,
                      &IID_IDVBTuningSpace2, &IID_IDVBSTuningSpace, &kDoubleInternalsIid}))
        return static_cast<IDVBSTuningSpace*>(this);
    return nullptr;
}

HRESULT TuningSpaceDouble::get_CLSID(BSTR* v) {
    if (!v) return E_POINTER;
    wchar_t text[40];
    StringFromGUID2(CLSID_DVBSTuningSpace, text, 40);
    *v = SysAllocString(text);
    Log("get_CLSID 0x00000000 %ls", text);
    return S_OK;
}

HRESULT TuningSpaceDouble::get_NetworkType(BSTR* v) {
    if (!v) return E_POINTER;
    bool forced = false;
    const HRESULT hr = Enter("get_NetworkType", &forced);
    wchar_t text[40];
    StringFromGUID2(NetworkType, text, 40);
    if (!forced) *v = SysAllocString(text);
    Log("get_NetworkType 0x%08lX %ls", static_cast<unsigned long>(hr), text);
    return hr;
}

HRESULT TuningSpaceDouble::put_NetworkType(BSTR v) {
    bool forced = false;
    HRESULT hr = Enter("put_NetworkType", &forced);
    GUID parsed = GUID_NULL;
    if (!forced) {
        hr = (v && SUCCEEDED(CLSIDFromString(v, &parsed))) ? S_OK : E_INVALIDARG;
        if (SUCCEEDED(hr)) NetworkType = parsed;
    }
    Log("put_NetworkType 0x%08lX %ls", static_cast<unsigned long>(hr), v ? v : L"(null)");
    return hr;
}

HRESULT TuningSpaceDouble::get__NetworkType(GUID* v) {
    if (!v) return E_POINTER;
    *v = NetworkType;
    Log("get__NetworkType 0x00000000");
    return S_OK;
}

HRESULT TuningSpaceDouble::put__NetworkType(REFCLSID v) {
    bool forced = false;
    const HRESULT hr = Enter("put__NetworkType", &forced);
    if (!forced) NetworkType = v;
    wchar_t text[40];
    StringFromGUID2(v, text, 40);
    Log("put__NetworkType 0x%08lX %ls", static_cast<unsigned long>(hr), text);
    return hr;
}

HRESULT TuningSpaceDouble::CreateTuneRequest(ITuneRequest** out) {
    if (!out) return E_POINTER;
    *out = nullptr;
    bool forced = false;
    HRESULT hr = Enter("CreateTuneRequest", &forced);
    if (!forced) hr = Hand(new (std::nothrow) TuneRequestDouble(this), IID_ITuneRequest, reinterpret_cast<void**>(out));
    Log("CreateTuneRequest 0x%08lX", static_cast<unsigned long>(hr));
    return hr;
}

HRESULT TuningSpaceDouble::EnumCategoryGUIDs(IEnumGUID**) { return NotHere(this, "EnumCategoryGUIDs"); }
HRESULT TuningSpaceDouble::EnumDeviceMonikers(IEnumMoniker**) { return NotHere(this, "EnumDeviceMonikers"); }
HRESULT TuningSpaceDouble::get_DefaultPreferredComponentTypes(IComponentTypes**) {
    return NotHere(this, "get_DefaultPreferredComponentTypes");
}
HRESULT TuningSpaceDouble::put_DefaultPreferredComponentTypes(IComponentTypes*) {
    return NotHere(this, "put_DefaultPreferredComponentTypes");
}

HRESULT TuningSpaceDouble::Clone(ITuningSpace** out) {
    if (!out) return E_POINTER;
    TuningSpaceDouble* copy = new (std::nothrow) TuningSpaceDouble();
    if (copy) {
        copy->UniqueName = UniqueName, copy->FriendlyName = FriendlyName;
        copy->FrequencyMapping = FrequencyMapping, copy->InputRange = InputRange;
        copy->NetworkType = NetworkType, copy->SystemType = SystemType, copy->NetworkId = NetworkId;
        copy->LowOscillator = LowOscillator, copy->HighOscillator = HighOscillator;
        copy->LnbSwitch = LnbSwitch, copy->Inversion = Inversion;
        copy->DefaultLocator = DefaultLocator;
        if (DefaultLocator) DefaultLocator->AddRef();
    }
    Log("Clone");
    return Hand(copy, IID_ITuningSpace, reinterpret_cast<void**>(out));
}

void* TuneRequestDouble::Find(REFIID iid) {
    if (IsOneOf(iid, {&IID_IUnknown, &IID_IDispatch, &IID_ITuneRequest, &IID_IDVBTuneRequest,
                      &kDoubleInternalsIid}))
        return static_cast<IDVBTuneRequest*>(this);
    return nullptr;
}

HRESULT TuneRequestDouble::get_Components(IComponents**) { return NotHere(this, "get_Components"); }

HRESULT TuneRequestDouble::Clone(ITuneRequest** out) {
    if (!out) return E_POINTER;
    TuneRequestDouble* copy = new (std::nothrow) TuneRequestDouble(Space);
    if (copy) {
        copy->Onid = Onid, copy->Tsid = Tsid, copy->Sid = Sid;
        copy->Locator = Locator;
        if (Locator) Locator->AddRef();
    }
    Log("Clone");
    return Hand(copy, IID_ITuneRequest, reinterpret_cast<void**>(out));
}

HRESULT CreateLocatorDouble(REFIID iid, void** out) { return Hand(new (std::nothrow) LocatorDouble(), iid, out); }
HRESULT CreateTuningSpaceDouble(REFIID iid, void** out) {
    return Hand(new (std::nothrow) TuningSpaceDouble(), iid, out);
}
HRESULT CreateTuneRequestDouble(REFIID iid, void** out) {
    return Hand(new (std::nothrow) TuneRequestDouble(nullptr), iid, out);
}
