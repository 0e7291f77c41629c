#include "bdatuner/bda_topology.h"

#include "bdatuner/bda_log.h"

namespace {

// Node functions (KSNODE_BDA_*, bdamedia.h in the Windows SDK; mingw-w64
// lacks them).
struct NodeFunction {
    GUID Id;
    NodeRole Role;
    const char* Name;
};
const NodeFunction kNodeFunctions[] = {
    {{0x71985F4C, 0x1CA1, 0x11D3, {0x9C, 0xC8, 0x00, 0xC0, 0x4F, 0x79, 0x71, 0xE0}}, NodeRole::RfTuner, "RF tuner"},
    {{0x6390C905, 0x27C1, 0x4D67, {0xBD, 0xB7, 0x77, 0xC5, 0x0D, 0x07, 0x93, 0x00}}, NodeRole::Demodulator,
     "QPSK demodulator"},
    {{0xE957A0E7, 0xDD98, 0x4A3C, {0x81, 0x0B, 0x35, 0x25, 0x15, 0x7A, 0xB6, 0x2E}}, NodeRole::Demodulator,
     "8PSK demodulator"},
    {{0xEDDE230A, 0x9086, 0x432D, {0xB8, 0xA5, 0x66, 0x70, 0x26, 0x38, 0x07, 0xE9}}, NodeRole::Demodulator,
     "ISDB-S demodulator"},
    {{0x71985F4D, 0x1CA1, 0x11D3, {0x9C, 0xC8, 0x00, 0xC0, 0x4F, 0x79, 0x71, 0xE0}}, NodeRole::Demodulator,
     "QAM demodulator"},
    {{0x2DAC6E05, 0xEDBE, 0x4B9C, {0xB3, 0x87, 0x1B, 0x6F, 0xAD, 0x7D, 0x64, 0x95}}, NodeRole::Demodulator,
     "COFDM demodulator"},
    {{0x71985F4F, 0x1CA1, 0x11D3, {0x9C, 0xC8, 0x00, 0xC0, 0x4F, 0x79, 0x71, 0xE0}}, NodeRole::Demodulator,
     "8VSB demodulator"},
    {{0xFCEA3AE3, 0x2CB2, 0x464D, {0x8F, 0x5D, 0x30, 0x5C, 0x0B, 0xB7, 0x78, 0xA2}}, NodeRole::Demodulator,
     "ISDB-T demodulator"},
};
constexpr int kMaxPinPairs = 64;

const char* FilterName(int which) { return which == 0 ? "tuner" : "receiver"; }

NodeRole RoleOf(const GUID& function) {
    for (const NodeFunction& known : kNodeFunctions)
        if (IsEqualGUID(function, known.Id)) return known.Role;
    return NodeRole::Other;
}

// The topology's pin types and template connections, as far as the driver
// tells them.
void ReadFilterFacts(IBDA_Topology* topology, int which, BdaFilterFacts* facts) {
    ULONG count = 0;
    ULONG pins[kMaxPinTypes];
    HRESULT result = topology->GetPinTypes(&count, kMaxPinTypes, pins);
    if (SUCCEEDED(result) && count <= kMaxPinTypes) {
        facts->PinTypeCount = static_cast<int>(count);
        for (ULONG i = 0; i < count; ++i) facts->PinTypes[i] = pins[i];
    } else {
        BdaLog("the %s gives no pin types (%s%s)", FilterName(which), LogResult(result).Text,
               SUCCEEDED(result) ? ", too many" : "");
    }
    BDA_TEMPLATE_CONNECTION links[kMaxTopologyLinks];
    count = 0;
    result = topology->GetTemplateConnections(&count, kMaxTopologyLinks, links);
    if (SUCCEEDED(result) && count <= kMaxTopologyLinks) {
        facts->LinkCount = static_cast<int>(count);
        for (ULONG i = 0; i < count; ++i)
            facts->Links[i] = TopologyLink{links[i].FromNodeType, links[i].FromNodePinType, links[i].ToNodeType,
                                           links[i].ToNodePinType};
    } else {
        BdaLog("the %s gives no template connections (%s%s): its nodes are opened at the pin types it "
               "announces, then at 0 -> 1", FilterName(which), LogResult(result).Text,
               SUCCEEDED(result) ? ", too many" : "");
    }
}

// The filter's node types with their functions; how many were written.
int ReadNodeTypes(IBDA_Topology* topology, int filter, BdaNodeFacts* nodes, int room) {
    ULONG count = 0;
    BDANODE_DESCRIPTOR descriptors[kMaxBdaNodes];
    if (SUCCEEDED(topology->GetNodeDescriptors(&count, kMaxBdaNodes, descriptors)) && count <= kMaxBdaNodes) {
        for (ULONG i = 0; i < count && static_cast<int>(i) < room; ++i) {
            nodes[i] = BdaNodeFacts{};
            nodes[i].Filter = filter;
            nodes[i].Type = descriptors[i].ulBdaNodeType;
            nodes[i].Function = descriptors[i].guidFunction;
            nodes[i].Role = RoleOf(descriptors[i].guidFunction);
        }
        return static_cast<int>(count) < room ? static_cast<int>(count) : room;
    }
    // No descriptors: the node types alone, of unknown function.
    ULONG types[kMaxBdaNodes];
    if (FAILED(topology->GetNodeTypes(&count, kMaxBdaNodes, types)) || count > kMaxBdaNodes) return 0;
    for (ULONG i = 0; i < count && static_cast<int>(i) < room; ++i) {
        nodes[i] = BdaNodeFacts{};
        nodes[i].Filter = filter;
        nodes[i].Type = types[i];
    }
    return static_cast<int>(count) < room ? static_cast<int>(count) : room;
}

// Opens the node with the first pin pair that gives it and keeps its
// statistics and DiSEqC interfaces.
void OpenNode(IBDA_Topology* topology, const PinPair* pairs, int pairCount, BdaTopology* t, int index) {
    BdaNodeFacts& node = t->Facts.Nodes[index];
    ComPtr<IUnknown> control;
    for (int i = 0; i < pairCount && !control; ++i) {
        if (SUCCEEDED(topology->GetControlNode(pairs[i].In, pairs[i].Out, node.Type,
                                               control.ReleaseAndGetAddressOf())) &&
            control) {
            node.Opened = true;
            node.Pins = pairs[i];
        } else {
            control.Detach();  // what a failed call leaves there is not ours to release
        }
    }
    const char* function = NodeFunctionName(node.Function);
    if (!control) {
        BdaLog("%s node %lu (%s): none of %d pin pairs opens it", FilterName(node.Filter),
               static_cast<unsigned long>(node.Type), function ? function : "function unknown", pairCount);
        return;
    }
    node.HasStatistics = SUCCEEDED(control->QueryInterface(IID_PPV_ARGS(&t->Statistics[index])));
    node.HasDiseqc = SUCCEEDED(control->QueryInterface(IID_PPV_ARGS(&t->Diseqc[index])));
    if (!node.HasStatistics) t->Statistics[index].Detach();
    if (!node.HasDiseqc) t->Diseqc[index].Detach();
    BdaLog("%s node %lu (%s) opened at pins %lu -> %lu%s%s", FilterName(node.Filter),
           static_cast<unsigned long>(node.Type), function ? function : "function unknown",
           static_cast<unsigned long>(node.Pins.In), static_cast<unsigned long>(node.Pins.Out),
           node.HasStatistics ? ", signal statistics" : "", node.HasDiseqc ? ", DiSEqC" : "");
}

void DiscoverFilter(IBaseFilter* filter, int which, BdaTopology* t) {
    BdaFilterFacts& facts = t->Facts.Filters[which];
    facts.Present = true;
    if (SUCCEEDED(filter->QueryInterface(IID_PPV_ARGS(&t->Control[which]))))
        facts.HasDeviceControl = true;
    else
        t->Control[which].Detach();
    ComPtr<IBDA_Topology> topology;
    const HRESULT result = filter->QueryInterface(IID_PPV_ARGS(&topology));
    if (FAILED(result)) {
        topology.Detach();
        BdaLog("the %s has no BDA topology (%s)", FilterName(which), LogResult(result).Text);
        return;
    }
    facts.HasTopology = true;
    ReadFilterFacts(topology.Get(), which, &facts);
    PinPair pairs[kMaxPinPairs];
    const int pairCount =
        CandidatePinPairs(facts.Links, facts.LinkCount, facts.PinTypes, facts.PinTypeCount, pairs, kMaxPinPairs);
    const int first = t->Facts.NodeCount;
    t->Facts.NodeCount += ReadNodeTypes(topology.Get(), which, &t->Facts.Nodes[first], kMaxBdaNodes - first);
    for (int i = first; i < t->Facts.NodeCount; ++i) OpenNode(topology.Get(), pairs, pairCount, t, i);
}

// Which node the lock and the level are read from first, or that the network
// provider's strength stands in for them.
void LogTrustedNode(const BdaTopologyFacts& facts, const ComPtr<IBDA_SignalStatistics>* statistics) {
    for (int t = 0; t < facts.NodeCount; ++t) {
        const BdaNodeFacts& node = facts.Nodes[facts.Trust[t]];
        if (!statistics[facts.Trust[t]]) continue;
        BdaLog("lock and level are read from the %s node %lu first (demodulators before other nodes, RF tuner "
               "nodes last: some drivers never set their lock)",
               FilterName(node.Filter), static_cast<unsigned long>(node.Type));
        return;
    }
    BdaLog("no node answers signal statistics: the network provider's signal strength is read instead");
}

}  // namespace

void DiscoverTopology(IBaseFilter* const filters[kBdaFilters], BdaTopology* topology) {
    ReleaseTopology(topology);
    for (int i = 0; i < kBdaFilters; ++i)
        if (filters[i]) DiscoverFilter(filters[i], i, topology);
    NodeRole roles[kMaxBdaNodes];
    for (int i = 0; i < topology->Facts.NodeCount; ++i) roles[i] = topology->Facts.Nodes[i].Role;
    OrderNodesByTrust(roles, topology->Facts.NodeCount, topology->Facts.Trust);
    LogTrustedNode(topology->Facts, topology->Statistics);
}

void ReleaseTopology(BdaTopology* topology) { *topology = BdaTopology{}; }

const char* NodeFunctionName(const GUID& function) {
    for (const NodeFunction& known : kNodeFunctions)
        if (IsEqualGUID(function, known.Id)) return known.Name;
    return nullptr;
}
