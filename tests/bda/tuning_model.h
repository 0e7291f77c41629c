// Doubles of the tuning-model objects: the DVB-S tuning space, the DVB tune
// request and the DVB-S locator. They keep every property they are given.
#pragma once
#include <tuner.h>

#include "doubles_core.h"

// A private interface id: asking a tuning-model double for it gives the
// double itself, so the network provider can read what it holds without
// going through (and logging) the public getters.
// {2C8E5B1D-7F0A-4A6C-9E31-5B7D2A9C4E60}
static const GUID kDoubleInternalsIid = {
    0x2c8e5b1d, 0x7f0a, 0x4a6c, {0x9e, 0x31, 0x5b, 0x7d, 0x2a, 0x9c, 0x4e, 0x60}};

class LocatorDouble final : public IDVBSLocator2, public Counted {
public:
    LocatorDouble() : Counted("Locator") {}
    DOUBLE_IUNKNOWN
    DOUBLE_NO_DISPATCH
    // ILocator
    HRESULT STDMETHODCALLTYPE get_CarrierFrequency(LONG* v) override { return GetValue(this, "get_CarrierFrequency", Frequency, v); }
    HRESULT STDMETHODCALLTYPE put_CarrierFrequency(LONG v) override { return PutValue(this, "put_CarrierFrequency", Frequency, v); }
    HRESULT STDMETHODCALLTYPE get_InnerFEC(FECMethod* v) override { return GetValue(this, "get_InnerFEC", InnerFec, v); }
    HRESULT STDMETHODCALLTYPE put_InnerFEC(FECMethod v) override { return PutValue(this, "put_InnerFEC", InnerFec, v); }
    HRESULT STDMETHODCALLTYPE get_InnerFECRate(BinaryConvolutionCodeRate* v) override { return GetValue(this, "get_InnerFECRate", InnerFecRate, v); }
    HRESULT STDMETHODCALLTYPE put_InnerFECRate(BinaryConvolutionCodeRate v) override { return PutValue(this, "put_InnerFECRate", InnerFecRate, v); }
    HRESULT STDMETHODCALLTYPE get_OuterFEC(FECMethod* v) override { return GetValue(this, "get_OuterFEC", OuterFec, v); }
    HRESULT STDMETHODCALLTYPE put_OuterFEC(FECMethod v) override { return PutValue(this, "put_OuterFEC", OuterFec, v); }
    HRESULT STDMETHODCALLTYPE get_OuterFECRate(BinaryConvolutionCodeRate* v) override { return GetValue(this, "get_OuterFECRate", OuterFecRate, v); }
    HRESULT STDMETHODCALLTYPE put_OuterFECRate(BinaryConvolutionCodeRate v) override { return PutValue(this, "put_OuterFECRate", OuterFecRate, v); }
    HRESULT STDMETHODCALLTYPE get_Modulation(ModulationType* v) override { return GetValue(this, "get_Modulation", Modulation, v); }
    HRESULT STDMETHODCALLTYPE put_Modulation(ModulationType v) override { return PutValue(this, "put_Modulation", Modulation, v); }
    HRESULT STDMETHODCALLTYPE get_SymbolRate(LONG* v) override { return GetValue(this, "get_SymbolRate", SymbolRate, v); }
    HRESULT STDMETHODCALLTYPE put_SymbolRate(LONG v) override { return PutValue(this, "put_SymbolRate", SymbolRate, v); }
    HRESULT STDMETHODCALLTYPE Clone(ILocator** out) override;
    // IDVBSLocator
    HRESULT STDMETHODCALLTYPE get_SignalPolarisation(Polarisation* v) override { return GetValue(this, "get_SignalPolarisation", Polar, v); }
    HRESULT STDMETHODCALLTYPE put_SignalPolarisation(Polarisation v) override { return PutValue(this, "put_SignalPolarisation", Polar, v); }
    HRESULT STDMETHODCALLTYPE get_WestPosition(VARIANT_BOOL* v) override { return GetValue(this, "get_WestPosition", West, v); }
    HRESULT STDMETHODCALLTYPE put_WestPosition(VARIANT_BOOL v) override { return PutValue(this, "put_WestPosition", West, v); }
    HRESULT STDMETHODCALLTYPE get_OrbitalPosition(LONG* v) override { return GetValue(this, "get_OrbitalPosition", Orbital, v); }
    HRESULT STDMETHODCALLTYPE put_OrbitalPosition(LONG v) override { return PutValue(this, "put_OrbitalPosition", Orbital, v); }
    HRESULT STDMETHODCALLTYPE get_Azimuth(LONG* v) override { return GetValue(this, "get_Azimuth", Azimuth, v); }
    HRESULT STDMETHODCALLTYPE put_Azimuth(LONG v) override { return PutValue(this, "put_Azimuth", Azimuth, v); }
    HRESULT STDMETHODCALLTYPE get_Elevation(LONG* v) override { return GetValue(this, "get_Elevation", Elevation, v); }
    HRESULT STDMETHODCALLTYPE put_Elevation(LONG v) override { return PutValue(this, "put_Elevation", Elevation, v); }
    // IDVBSLocator2
    HRESULT STDMETHODCALLTYPE get_DiseqLNBSource(LNB_Source* v) override { return GetValue(this, "get_DiseqLNBSource", LnbSource, v); }
    HRESULT STDMETHODCALLTYPE put_DiseqLNBSource(LNB_Source v) override { return PutValue(this, "put_DiseqLNBSource", LnbSource, v); }
    HRESULT STDMETHODCALLTYPE get_LocalOscillatorOverrideLow(LONG* v) override { return GetValue(this, "get_LocalOscillatorOverrideLow", LowOverride, v); }
    HRESULT STDMETHODCALLTYPE put_LocalOscillatorOverrideLow(LONG v) override { return PutValue(this, "put_LocalOscillatorOverrideLow", LowOverride, v); }
    HRESULT STDMETHODCALLTYPE get_LocalOscillatorOverrideHigh(LONG* v) override { return GetValue(this, "get_LocalOscillatorOverrideHigh", HighOverride, v); }
    HRESULT STDMETHODCALLTYPE put_LocalOscillatorOverrideHigh(LONG v) override { return PutValue(this, "put_LocalOscillatorOverrideHigh", HighOverride, v); }
    HRESULT STDMETHODCALLTYPE get_LocalLNBSwitchOverride(LONG* v) override { return GetValue(this, "get_LocalLNBSwitchOverride", SwitchOverride, v); }
    HRESULT STDMETHODCALLTYPE put_LocalLNBSwitchOverride(LONG v) override { return PutValue(this, "put_LocalLNBSwitchOverride", SwitchOverride, v); }
    HRESULT STDMETHODCALLTYPE get_LocalSpectralInversionOverride(SpectralInversion* v) override { return GetValue(this, "get_LocalSpectralInversionOverride", InversionOverride, v); }
    HRESULT STDMETHODCALLTYPE put_LocalSpectralInversionOverride(SpectralInversion v) override { return PutValue(this, "put_LocalSpectralInversionOverride", InversionOverride, v); }
    HRESULT STDMETHODCALLTYPE get_SignalRollOff(RollOff* v) override { return GetValue(this, "get_SignalRollOff", Roll, v); }
    HRESULT STDMETHODCALLTYPE put_SignalRollOff(RollOff v) override { return PutValue(this, "put_SignalRollOff", Roll, v); }
    HRESULT STDMETHODCALLTYPE get_SignalPilot(Pilot* v) override { return GetValue(this, "get_SignalPilot", PilotMode, v); }
    HRESULT STDMETHODCALLTYPE put_SignalPilot(Pilot v) override { return PutValue(this, "put_SignalPilot", PilotMode, v); }

    // Unset values read -1, Microsoft's "not set" for every one of them.
    LONG Frequency = -1, SymbolRate = -1, Orbital = -1, Azimuth = -1, Elevation = -1;
    LONG LowOverride = -1, HighOverride = -1, SwitchOverride = -1;
    FECMethod InnerFec = BDA_FEC_METHOD_NOT_SET, OuterFec = BDA_FEC_METHOD_NOT_SET;
    BinaryConvolutionCodeRate InnerFecRate = BDA_BCC_RATE_NOT_SET, OuterFecRate = BDA_BCC_RATE_NOT_SET;
    ModulationType Modulation = BDA_MOD_NOT_SET;
    Polarisation Polar = BDA_POLARISATION_NOT_SET;
    VARIANT_BOOL West = VARIANT_FALSE;
    LNB_Source LnbSource = BDA_LNB_SOURCE_NOT_SET;
    SpectralInversion InversionOverride = BDA_SPECTRAL_INVERSION_NOT_SET;
    RollOff Roll = BDA_ROLL_OFF_NOT_SET;
    Pilot PilotMode = BDA_PILOT_NOT_SET;

private:
    void* Find(REFIID iid) override;
};

class TuningSpaceDouble final : public IDVBSTuningSpace, public Counted {
public:
    TuningSpaceDouble() : Counted("TuningSpace") {}
    ~TuningSpaceDouble() override { ReleaseHeld(DefaultLocator); }
    DOUBLE_IUNKNOWN
    DOUBLE_NO_DISPATCH
    // ITuningSpace
    HRESULT STDMETHODCALLTYPE get_UniqueName(BSTR* v) override { return GetText(this, "get_UniqueName", UniqueName, v); }
    HRESULT STDMETHODCALLTYPE put_UniqueName(BSTR v) override { return PutText(this, "put_UniqueName", UniqueName, v); }
    HRESULT STDMETHODCALLTYPE get_FriendlyName(BSTR* v) override { return GetText(this, "get_FriendlyName", FriendlyName, v); }
    HRESULT STDMETHODCALLTYPE put_FriendlyName(BSTR v) override { return PutText(this, "put_FriendlyName", FriendlyName, v); }
    HRESULT STDMETHODCALLTYPE get_CLSID(BSTR* v) override;
    HRESULT STDMETHODCALLTYPE get_NetworkType(BSTR* v) override;
    HRESULT STDMETHODCALLTYPE put_NetworkType(BSTR v) override;
    HRESULT STDMETHODCALLTYPE get__NetworkType(GUID* v) override;
    HRESULT STDMETHODCALLTYPE put__NetworkType(REFCLSID v) override;
    HRESULT STDMETHODCALLTYPE CreateTuneRequest(ITuneRequest** out) override;
    HRESULT STDMETHODCALLTYPE EnumCategoryGUIDs(IEnumGUID** out) override;
    HRESULT STDMETHODCALLTYPE EnumDeviceMonikers(IEnumMoniker** out) override;
    HRESULT STDMETHODCALLTYPE get_DefaultPreferredComponentTypes(IComponentTypes** out) override;
    HRESULT STDMETHODCALLTYPE put_DefaultPreferredComponentTypes(IComponentTypes* v) override;
    HRESULT STDMETHODCALLTYPE get_FrequencyMapping(BSTR* v) override { return GetText(this, "get_FrequencyMapping", FrequencyMapping, v); }
    HRESULT STDMETHODCALLTYPE put_FrequencyMapping(BSTR v) override { return PutText(this, "put_FrequencyMapping", FrequencyMapping, v); }
    HRESULT STDMETHODCALLTYPE get_DefaultLocator(ILocator** v) override { return GetHeld(this, "get_DefaultLocator", DefaultLocator, v); }
    HRESULT STDMETHODCALLTYPE put_DefaultLocator(ILocator* v) override { return PutHeld(this, "put_DefaultLocator", DefaultLocator, v); }
    HRESULT STDMETHODCALLTYPE Clone(ITuningSpace** out) override;
    // IDVBTuningSpace, IDVBTuningSpace2
    HRESULT STDMETHODCALLTYPE get_SystemType(DVBSystemType* v) override { return GetValue(this, "get_SystemType", SystemType, v); }
    HRESULT STDMETHODCALLTYPE put_SystemType(DVBSystemType v) override { return PutValue(this, "put_SystemType", SystemType, v); }
    HRESULT STDMETHODCALLTYPE get_NetworkID(LONG* v) override { return GetValue(this, "get_NetworkID", NetworkId, v); }
    HRESULT STDMETHODCALLTYPE put_NetworkID(LONG v) override { return PutValue(this, "put_NetworkID", NetworkId, v); }
    // IDVBSTuningSpace
    HRESULT STDMETHODCALLTYPE get_LowOscillator(LONG* v) override { return GetValue(this, "get_LowOscillator", LowOscillator, v); }
    HRESULT STDMETHODCALLTYPE put_LowOscillator(LONG v) override { return PutValue(this, "put_LowOscillator", LowOscillator, v); }
    HRESULT STDMETHODCALLTYPE get_HighOscillator(LONG* v) override { return GetValue(this, "get_HighOscillator", HighOscillator, v); }
    HRESULT STDMETHODCALLTYPE put_HighOscillator(LONG v) override { return PutValue(this, "put_HighOscillator", HighOscillator, v); }
    HRESULT STDMETHODCALLTYPE get_LNBSwitch(LONG* v) override { return GetValue(this, "get_LNBSwitch", LnbSwitch, v); }
    HRESULT STDMETHODCALLTYPE put_LNBSwitch(LONG v) override { return PutValue(this, "put_LNBSwitch", LnbSwitch, v); }
    HRESULT STDMETHODCALLTYPE get_InputRange(BSTR* v) override { return GetText(this, "get_InputRange", InputRange, v); }
    HRESULT STDMETHODCALLTYPE put_InputRange(BSTR v) override { return PutText(this, "put_InputRange", InputRange, v); }
    HRESULT STDMETHODCALLTYPE get_SpectralInversion(SpectralInversion* v) override { return GetValue(this, "get_SpectralInversion", Inversion, v); }
    HRESULT STDMETHODCALLTYPE put_SpectralInversion(SpectralInversion v) override { return PutValue(this, "put_SpectralInversion", Inversion, v); }

    std::wstring UniqueName, FriendlyName, FrequencyMapping, InputRange;
    GUID NetworkType = GUID_NULL;
    DVBSystemType SystemType = DVB_Satellite;
    LONG NetworkId = -1, LowOscillator = -1, HighOscillator = -1, LnbSwitch = -1;
    SpectralInversion Inversion = BDA_SPECTRAL_INVERSION_NOT_SET;
    ILocator* DefaultLocator = nullptr;

private:
    void* Find(REFIID iid) override;
};

class TuneRequestDouble final : public IDVBTuneRequest, public Counted {
public:
    explicit TuneRequestDouble(ITuningSpace* space) : Counted("TuneRequest"), Space(space) {
        if (Space) Space->AddRef();
    }
    ~TuneRequestDouble() override {
        ReleaseHeld(Space);
        ReleaseHeld(Locator);
    }
    DOUBLE_IUNKNOWN
    DOUBLE_NO_DISPATCH
    // ITuneRequest
    HRESULT STDMETHODCALLTYPE get_TuningSpace(ITuningSpace** v) override { return GetHeld(this, "get_TuningSpace", Space, v); }
    HRESULT STDMETHODCALLTYPE get_Components(IComponents** out) override;
    HRESULT STDMETHODCALLTYPE Clone(ITuneRequest** out) override;
    HRESULT STDMETHODCALLTYPE get_Locator(ILocator** v) override { return GetHeld(this, "get_Locator", Locator, v); }
    HRESULT STDMETHODCALLTYPE put_Locator(ILocator* v) override { return PutHeld(this, "put_Locator", Locator, v); }
    // IDVBTuneRequest
    HRESULT STDMETHODCALLTYPE get_ONID(LONG* v) override { return GetValue(this, "get_ONID", Onid, v); }
    HRESULT STDMETHODCALLTYPE put_ONID(LONG v) override { return PutValue(this, "put_ONID", Onid, v); }
    HRESULT STDMETHODCALLTYPE get_TSID(LONG* v) override { return GetValue(this, "get_TSID", Tsid, v); }
    HRESULT STDMETHODCALLTYPE put_TSID(LONG v) override { return PutValue(this, "put_TSID", Tsid, v); }
    HRESULT STDMETHODCALLTYPE get_SID(LONG* v) override { return GetValue(this, "get_SID", Sid, v); }
    HRESULT STDMETHODCALLTYPE put_SID(LONG v) override { return PutValue(this, "put_SID", Sid, v); }

    ITuningSpace* Space = nullptr;
    ILocator* Locator = nullptr;
    LONG Onid = -1, Tsid = -1, Sid = -1;

private:
    void* Find(REFIID iid) override;
};

// The double behind an interface from this DLL, or null for a foreign object.
template <typename D, typename I>
D* InternalsOf(I* object) {
    if (!object) return nullptr;
    void* found = nullptr;
    if (FAILED(object->QueryInterface(kDoubleInternalsIid, &found)) || !found) return nullptr;
    D* self = dynamic_cast<D*>(static_cast<IUnknown*>(found));
    static_cast<IUnknown*>(found)->Release();
    return self;
}

HRESULT CreateLocatorDouble(REFIID iid, void** out);
HRESULT CreateTuningSpaceDouble(REFIID iid, void** out);
HRESULT CreateTuneRequestDouble(REFIID iid, void** out);
