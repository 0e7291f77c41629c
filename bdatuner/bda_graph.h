// The DirectShow graph that drives a BDA DVB-S tuner: network provider ->
// tuner -> receiver component (when the tuner needs one) -> MPEG-2
// demultiplexer. Every function here runs on the bridge's MTA worker.
#pragma once
#include <windows.h>
#include <dshow.h>
#include <bdaiface.h>
#include <tuner.h>

#include "bdatuner/bda_mapping.h"

constexpr int kDeviceNameChars = 128;

struct BdaGraph {
    IGraphBuilder* Graph = nullptr;
    IMediaControl* Control = nullptr;
    IDVBSTuningSpace* Space = nullptr;
    IBaseFilter* Provider = nullptr;
    ITuner* ProviderTuner = nullptr;
    IBaseFilter* Tuner = nullptr;
    IBaseFilter* Receiver = nullptr;
    IBaseFilter* Demux = nullptr;
    wchar_t DeviceName[kDeviceNameChars] = L"";
    wchar_t ReceiverName[kDeviceNameChars] = L"";  // empty: the tuner needs none
    // What failed last, for bdaprobe's report.
    const char* FailedStep = nullptr;
    HRESULT FailedResult = S_OK;
};

// Calls back with the friendly name of every tuner in the BDA network-tuner
// category; returns how many there were, or a negative HRESULT.
typedef void (*BdaTunerVisitor)(int index, const wchar_t* name, void* context);
HRESULT ListBdaTuners(BdaTunerVisitor visit, void* context);

// The device named in HKCU\Software\Zentrik\BdaTuner, value Device; empty
// when none is set.
void ReadWantedDevice(wchar_t name[kDeviceNameChars]);

// Builds and runs the graph with the wanted tuner (empty: the first that the
// DVB-S network provider accepts). On failure nothing is left running or held.
HRESULT BuildBdaGraph(BdaGraph* graph, const wchar_t* wantedDevice);
// Stops the graph and lets go of everything; safe on a graph never built.
void TearDownBdaGraph(BdaGraph* graph);

HRESULT SubmitBdaTune(BdaGraph* graph, const BdaTuneRequest& request);
// Lock from the first node that answers; S_OK when some node answered.
HRESULT ReadBdaSignal(BdaGraph* graph, bool* locked, SignalReadings* readings);
