// The BDA bridge object: the tuner filter class with the tuner-control
// interface, backed by a BDA graph. bdaprobe creates it directly.
#pragma once
#include <windows.h>
#include <unknwn.h>

#include "bdatuner/bda_graph.h"
#include "bdatuner/bda_mapping.h"

// One look at the signal, with what bdaprobe prints besides.
struct BdaProbeReport {
    bool Answered = false;  // some statistics node answered
    bool Locked = false;
    SignalReadings Readings;
    int32_t Level = 0;                          // what ReadSignalLevel would write
    StrengthUnit Unit = StrengthUnit::Unknown;  // as the level rule has judged it so far
    wchar_t DeviceName[kDeviceNameChars] = L"";
    wchar_t ReceiverName[kDeviceNameChars] = L"";
    bool HasDemux = false;
    const char* FailedStep = nullptr;  // the last failure, if any
    HRESULT FailedResult = S_OK;
};

// The bridge's own interface for bdaprobe; the program never asks for it.
// {DE88F77D-747B-4313-A1C3-52E48958692C}
static const GUID kBdaProbeInterfaceId = {
    0xDE88F77D, 0x747B, 0x4313, {0xA1, 0xC3, 0x52, 0xE4, 0x89, 0x58, 0x69, 0x2C}};
struct IBdaProbe : public IUnknown {
    virtual HRESULT STDMETHODCALLTYPE ReadReport(BdaProbeReport* report) = 0;
};

HRESULT CreateBdaTuner(REFIID iid, void** out);
