// The BDA bridge's rules for a filter's control nodes: the pin pairs tried,
// best guess first, and the order in which nodes are trusted.
#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "bdatuner/bda_node_rules.h"

namespace {

std::vector<std::pair<uint32_t, uint32_t>> Pairs(const std::vector<TopologyLink>& links,
                                                 const std::vector<uint32_t>& pins, int max = 64) {
    PinPair pairs[64];
    const int n = CandidatePinPairs(links.data(), static_cast<int>(links.size()), pins.data(),
                                    static_cast<int>(pins.size()), pairs, max);
    std::vector<std::pair<uint32_t, uint32_t>> out;
    for (int i = 0; i < n; ++i) out.push_back({pairs[i].In, pairs[i].Out});
    return out;
}

TEST(BdaNodes, TheTemplateConnectionsNameThePinsFirst) {
    // antenna pin 2 -> RF node 0 -> demodulator node 1 -> transport pin 3
    const std::vector<TopologyLink> links = {
        {kFilterEdge, 2, 0, 0}, {0, 0, 1, 0}, {1, 1, kFilterEdge, 3}};
    const auto pairs = Pairs(links, {0, 1, 2, 3});
    ASSERT_FALSE(pairs.empty());
    EXPECT_EQ(pairs[0], std::make_pair(2u, 3u));
    EXPECT_EQ(pairs.size(), 12u);  // then every other ordered pair of the four types, once each
    EXPECT_EQ(std::count(pairs.begin(), pairs.end(), std::make_pair(0u, 1u)), 1);
}

TEST(BdaNodes, WithoutATopologyEveryAnnouncedPairThenTheUsualOne) {
    EXPECT_EQ(Pairs({}, {5, 7}), (std::vector<std::pair<uint32_t, uint32_t>>{{5, 7}, {7, 5}, {0, 1}}));
    EXPECT_EQ(Pairs({}, {}), (std::vector<std::pair<uint32_t, uint32_t>>{{0, 1}}));
    const std::vector<TopologyLink> twoInputs = {
        {kFilterEdge, 0, 0, 0}, {kFilterEdge, 1, 0, 1}, {0, 0, kFilterEdge, 2}};
    EXPECT_EQ(Pairs(twoInputs, {}), (std::vector<std::pair<uint32_t, uint32_t>>{{0, 2}, {1, 2}, {0, 1}}));
}

TEST(BdaNodes, TheListNeverOverflows) {
    std::vector<uint32_t> many;
    for (uint32_t i = 0; i < 40; ++i) many.push_back(i);
    EXPECT_EQ(Pairs({}, many, 16).size(), 16u);
}

TEST(BdaNodes, DemodulatorsAreTrustedFirstAndRfTunersLast) {
    const NodeRole roles[] = {NodeRole::RfTuner, NodeRole::Other, NodeRole::Demodulator, NodeRole::Other};
    int order[4];
    OrderNodesByTrust(roles, 4, order);
    EXPECT_EQ(std::vector<int>(order, order + 4), (std::vector<int>{2, 1, 3, 0}));
}

}  // namespace
