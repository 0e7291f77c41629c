// The tuner card's DirectShow source filter and its tuner-control interface.
// The component is closed; only its class id, interface ids and the method
// table layout below are relied on. Works with mingw-w64 and MSVC.
#pragma once
#include <windows.h>
#include <unknwn.h>
#include <cstdint>

// The source filter's class.
// {E82536A0-94DA-11D2-A463-00A0C95D308D}
static const GUID kTunerFilterClassId = {
    0xE82536A0, 0x94DA, 0x11D2, {0xA4, 0x63, 0x00, 0xA0, 0xC9, 0x5D, 0x30, 0x8D}};

// DirectShow's IBaseFilter, declared here so no DirectShow headers are needed.
// {56A86895-0AD4-11CE-B03A-0020AF0BA770}
static const GUID kBaseFilterInterfaceId = {
    0x56A86895, 0x0AD4, 0x11CE, {0xB0, 0x3A, 0x00, 0x20, 0xAF, 0x0B, 0xA7, 0x70}};

// The tuner-control interface, got by QueryInterface on the filter.
// {CD900832-50DF-4F8F-882D-1C358F90B3F2}
static const GUID kTunerControlInterfaceId = {
    0xCD900832, 0x50DF, 0x4F8F, {0x88, 0x2D, 0x1C, 0x35, 0x8F, 0x90, 0xB3, 0xF2}};

// Method table of the tuner-control interface. The order of declaration IS the
// binary layout: slots 0..2 are IUnknown's, then one slot per method below in
// order. Slot 10 and slots 13..35 are never called by Zentrik but must be
// declared so that ReadSignalLevel lands in slot 36. Do not reorder, insert or
// remove methods. Every argument is a 32-bit signed integer.
struct ITunerControl : public IUnknown {
    virtual HRESULT STDMETHODCALLTYPE SetTransponderFrequency(int32_t megahertz) = 0;    // slot 3
    virtual HRESULT STDMETHODCALLTYPE SetSymbolRate(int32_t kiloSymbols) = 0;            // slot 4
    virtual HRESULT STDMETHODCALLTYPE SetLnbFrequency(int32_t megahertz) = 0;            // slot 5
    virtual HRESULT STDMETHODCALLTYPE SetFec(int32_t fecCode) = 0;                       // slot 6
    virtual HRESULT STDMETHODCALLTYPE SetPolarity(int32_t polarisation) = 0;             // slot 7
    virtual HRESULT STDMETHODCALLTYPE SetLnbSelection(int32_t band) = 0;                 // slot 8
    virtual HRESULT STDMETHODCALLTYPE SetDiseqc(int32_t diseqcCode) = 0;                 // slot 9
    virtual HRESULT STDMETHODCALLTYPE Unused10() = 0;                                    // slot 10
    virtual HRESULT STDMETHODCALLTYPE InitializeControl() = 0;                           // slot 11
    virtual HRESULT STDMETHODCALLTYPE QueryLock() = 0;                                   // slot 12
    virtual HRESULT STDMETHODCALLTYPE Unused13() = 0;
    virtual HRESULT STDMETHODCALLTYPE Unused14() = 0;
    virtual HRESULT STDMETHODCALLTYPE Unused15() = 0;
    virtual HRESULT STDMETHODCALLTYPE Unused16() = 0;
    virtual HRESULT STDMETHODCALLTYPE Unused17() = 0;
    virtual HRESULT STDMETHODCALLTYPE Unused18() = 0;
    virtual HRESULT STDMETHODCALLTYPE Unused19() = 0;
    virtual HRESULT STDMETHODCALLTYPE Unused20() = 0;
    virtual HRESULT STDMETHODCALLTYPE Unused21() = 0;
    virtual HRESULT STDMETHODCALLTYPE Unused22() = 0;
    virtual HRESULT STDMETHODCALLTYPE Unused23() = 0;
    virtual HRESULT STDMETHODCALLTYPE Unused24() = 0;
    virtual HRESULT STDMETHODCALLTYPE Unused25() = 0;
    virtual HRESULT STDMETHODCALLTYPE Unused26() = 0;
    virtual HRESULT STDMETHODCALLTYPE Unused27() = 0;
    virtual HRESULT STDMETHODCALLTYPE Unused28() = 0;
    virtual HRESULT STDMETHODCALLTYPE Unused29() = 0;
    virtual HRESULT STDMETHODCALLTYPE Unused30() = 0;
    virtual HRESULT STDMETHODCALLTYPE Unused31() = 0;
    virtual HRESULT STDMETHODCALLTYPE Unused32() = 0;
    virtual HRESULT STDMETHODCALLTYPE Unused33() = 0;
    virtual HRESULT STDMETHODCALLTYPE Unused34() = 0;
    virtual HRESULT STDMETHODCALLTYPE Unused35() = 0;
    // Writes the signal level in percent, 0..100. Zentrik ignores the result.
    virtual HRESULT STDMETHODCALLTYPE ReadSignalLevel(int32_t* level) = 0;               // slot 36
};

// Slot number of ReadSignalLevel in the method table (checked by the
// simulated tuner's self-test against a real object's table).
constexpr int kReadSignalLevelSlot = 36;
