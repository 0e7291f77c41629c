// How the bridge finds a BDA filter's control nodes and which node it trusts
// for what. Byte-level, no platform headers, so it builds natively for the
// tests.
#pragma once
#include <cstdint>

// One connection of a filter's template topology (BDA_TEMPLATE_CONNECTION):
// node type and pin type where it begins and ends; kFilterEdge as the node
// type is the filter's own pin, where the connection leaves or enters it.
constexpr uint32_t kFilterEdge = 0xFFFFFFFFu;
struct TopologyLink {
    uint32_t FromNode, FromPin, ToNode, ToPin;
};

struct PinPair {
    uint32_t In, Out;
};

// The input/output pin pairs to open a control node with, best guess first:
// the filter's own input and output pins named by its template connections,
// then every ordered pair of the pin types it announces, then 0 -> 1, which
// most drivers use. Returns how many were written (at most max), without
// repeats.
int CandidatePinPairs(const TopologyLink* links, int linkCount, const uint32_t* pinTypes, int pinCount,
                      PinPair* pairs, int max);

// What a node is, from its descriptor's function: the demodulator knows the
// lock (an RF tuner node's lock may be a PLL lock that some drivers never set).
enum class NodeRole : int8_t { Demodulator, Other, RfTuner };

// Writes node indexes into order, the most trusted first: demodulators, then
// nodes of other or unknown function, then RF tuners; topology order within
// each.
void OrderNodesByTrust(const NodeRole* roles, int count, int* order);
