#include "bdatuner/bda_node_rules.h"

#include <initializer_list>

namespace {

// Adds the pair unless it is there already or the list is full.
void AddPair(uint32_t in, uint32_t out, PinPair* pairs, int max, int* count) {
    for (int i = 0; i < *count; ++i)
        if (pairs[i].In == in && pairs[i].Out == out) return;
    if (*count < max) pairs[(*count)++] = PinPair{in, out};
}

}  // namespace

int CandidatePinPairs(const TopologyLink* links, int linkCount, const uint32_t* pinTypes, int pinCount,
                      PinPair* pairs, int max) {
    int count = 0;
    for (int i = 0; i < linkCount; ++i) {
        if (links[i].FromNode != kFilterEdge) continue;
        for (int j = 0; j < linkCount; ++j)
            if (links[j].ToNode == kFilterEdge) AddPair(links[i].FromPin, links[j].ToPin, pairs, max, &count);
    }
    for (int i = 0; i < pinCount; ++i)
        for (int j = 0; j < pinCount; ++j)
            if (i != j) AddPair(pinTypes[i], pinTypes[j], pairs, max, &count);
    AddPair(0, 1, pairs, max, &count);
    return count;
}

void OrderNodesByTrust(const NodeRole* roles, int count, int* order) {
    int written = 0;
    for (NodeRole role : {NodeRole::Demodulator, NodeRole::Other, NodeRole::RfTuner})
        for (int i = 0; i < count; ++i)
            if (roles[i] == role) order[written++] = i;
}
