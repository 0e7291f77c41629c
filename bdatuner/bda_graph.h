// The DirectShow graph that drives a BDA DVB-S tuner: network provider ->
// tuner -> receiver component (when the tuner needs one) -> MPEG-2
// demultiplexer, with the card's control nodes found once it runs. Every
// function here runs on the bridge's MTA worker.
#pragma once
#include <windows.h>
#include <dshow.h>
#include <bdaiface.h>
#include <tuner.h>
#include <wrl/client.h>

#include "bdatuner/bda_devices.h"
#include "bdatuner/bda_topology.h"

// Its references are let go by TearDownBdaGraph, in the order the graph
// needs, never by the order of these members.
struct BdaGraph {
    ComPtr<IGraphBuilder> Graph;
    ComPtr<IMediaControl> Control;
    ComPtr<IDVBSTuningSpace> Space;
    ComPtr<IBaseFilter> Provider;
    ComPtr<ITuner> ProviderTuner;
    bool GenericProvider = false;  // Microsoft's network provider for every network type
    ComPtr<IBaseFilter> Tuner;
    ComPtr<IBaseFilter> Receiver;
    ComPtr<IBaseFilter> Demux;
    // The bridge's stream tap (bda_tap.h), between the card and the
    // demultiplexer where it connects; the owner's, joined to each graph.
    ComPtr<IBaseFilter> Tap;
    BdaDeviceId Device;
    wchar_t ReceiverName[kDeviceNameChars] = L"";  // empty: the tuner needs none
    bool Warmed = false;  // a default tune request went out before the tuner would connect
    BdaTopology Topology;
    // The network provider's Validate answer for the latest tune request.
    bool Validated = false;
    HRESULT ValidateResult = S_OK;
    // What failed last, for bdaprobe's report.
    const char* FailedStep = nullptr;
    HRESULT FailedResult = S_OK;
};

// Records the failing step and reports it in the debug output; a failure is
// always negative, whatever the call said.
HRESULT FailBdaStep(BdaGraph* graph, const char* step, HRESULT result);

// Builds and runs the graph with the wanted tuner (empty: the first that a
// network provider accepts and that starts): the DVB-S network provider
// first, Microsoft's generic one where that is missing or refuses. On failure
// nothing is left running or held.
HRESULT BuildBdaGraph(BdaGraph* graph, const wchar_t* wantedDevice);
// Stops the graph and lets go of everything; safe on a graph never built.
void TearDownBdaGraph(BdaGraph* graph);

// A tune request for the locator, through the network provider.
HRESULT SendBdaTuneRequest(BdaGraph* graph, IDVBSLocator* locator);
