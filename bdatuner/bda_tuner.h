// The BDA bridge object: the tuner filter class with the tuner-control
// interface, backed by a BDA graph. bdaprobe creates it directly.
#pragma once
#include <windows.h>
#include <unknwn.h>

#include "bdatuner/bda_devices.h"
#include "bdatuner/bda_level.h"
#include "bdatuner/bda_mapping.h"
#include "bdatuner/bda_topology.h"

// One look at the card, with what bdaprobe prints besides.
struct BdaProbeReport {
    // The latest reading.
    bool Answered = false;  // some statistics node (or the network provider) answered
    bool TimedOut = false;  // the driver did not answer within the read's time limit
    bool Locked = false;
    SignalReadings Readings;
    int LockFrom = -1, StrengthFrom = -1, QualityFrom = -1;  // see BdaReading
    int32_t Level = 0;                                       // what ReadSignalLevel would write
    int32_t StrengthPercent = kNoPercent;                    // the strength alone, as judged
    StrengthUnit Unit = StrengthUnit::Unknown;               // as the level rule has judged it so far
    // The card and the graph.
    BdaDeviceId Device;
    wchar_t ReceiverName[kDeviceNameChars] = L"";
    bool HasDemux = false;
    bool GenericProvider = false;
    bool Warmed = false;  // a default tune request went out before the tuner would connect
    BdaTopologyFacts Topology;
    // The latest tune request, as sent.
    bool Tuned = false;
    BdaTuneRequest Request;
    ModulationSearch Modulation;
    bool Validated = false;         // the network provider's Validate was asked about it
    HRESULT ValidateResult = S_OK;  // and answered this
    const char* FailedStep = nullptr;  // the last failure, if any
    HRESULT FailedResult = S_OK;
};

// The bridge's own interface for bdaprobe; the program never asks for it.
// {DE88F77D-747B-4313-A1C3-52E48958692C}
static const GUID kBdaProbeInterfaceId = {
    0xDE88F77D, 0x747B, 0x4313, {0xA1, 0xC3, 0x52, 0xE4, 0x89, 0x58, 0x69, 0x2C}};
struct IBdaProbe : public IUnknown {
    // A fresh reading, and everything else the report holds.
    virtual HRESULT STDMETHODCALLTYPE ReadReport(BdaProbeReport* report) = 0;
};

HRESULT CreateBdaTuner(REFIID iid, void** out);
