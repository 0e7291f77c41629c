// The control nodes of a card's BDA filters (the tuner, and the receiver
// component where there is one), found once after the graph is built and
// kept for every later read.
#pragma once
#include <windows.h>
#include <dshow.h>
#include <bdaiface.h>
#include <wrl/client.h>

#include "bdatuner/bda_node_rules.h"

// Every COM reference the bridge keeps is held by one: released when it goes.
using Microsoft::WRL::ComPtr;

constexpr int kBdaFilters = 2;  // 0: the tuner, 1: the receiver component
constexpr int kMaxBdaNodes = 16;
constexpr int kMaxPinTypes = 8;
constexpr int kMaxTopologyLinks = 16;

// What a filter says of itself, as bdaprobe shows it.
struct BdaFilterFacts {
    bool Present = false;
    bool HasTopology = false;       // answers IBDA_Topology
    bool HasDeviceControl = false;  // answers IBDA_DeviceControl
    int PinTypeCount = 0;
    uint32_t PinTypes[kMaxPinTypes] = {};
    int LinkCount = 0;
    TopologyLink Links[kMaxTopologyLinks] = {};
};

struct BdaNodeFacts {
    int Filter = 0;
    uint32_t Type = 0;
    GUID Function = GUID_NULL;
    NodeRole Role = NodeRole::Other;
    bool Opened = false;  // some pin pair gave the node
    PinPair Pins = {0, 0};
    bool HasStatistics = false;
    bool HasDiseqc = false;
};

// Plain data: copied into bdaprobe's report.
struct BdaTopologyFacts {
    BdaFilterFacts Filters[kBdaFilters];
    int NodeCount = 0;
    BdaNodeFacts Nodes[kMaxBdaNodes];
    int Trust[kMaxBdaNodes] = {};  // node indexes, the most trusted first
};

struct BdaTopology {
    BdaTopologyFacts Facts;
    ComPtr<IBDA_SignalStatistics> Statistics[kMaxBdaNodes];
    ComPtr<IBDA_DiseqCommand> Diseqc[kMaxBdaNodes];
    ComPtr<IBDA_DeviceControl> Control[kBdaFilters];
};

// Asks every filter given (null ones are skipped) for its nodes.
void DiscoverTopology(IBaseFilter* const filters[kBdaFilters], BdaTopology* topology);
void ReleaseTopology(BdaTopology* topology);
// The name of a known node function ("RF tuner", "QPSK demodulator"...), or null.
const char* NodeFunctionName(const GUID& function);
