// The tap's packet filter: the reader gets only the NIT's and the SDT's
// packets of aligned samples, and everything from where alignment breaks,
// and reads the same identity as from the whole stream.
#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <iterator>
#include <vector>

#include "identity/broadcast_identity.h"
#include "identity/table_packets.h"

namespace {

const char kRecording[] = ZENTRIK_TEST_DATA_DIR "/broadcast/hotbird13e-mediaset.ts";

std::vector<uint8_t> Recording() {
    std::ifstream in(kRecording, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

// Feeds the stream in samples of the given size; the bytes the filter passed on.
size_t FeedInSamples(IdentityReader* reader, const std::vector<uint8_t>& bytes, size_t sample) {
    size_t fed = 0;
    for (size_t at = 0; at < bytes.size(); at += sample)
        fed += FeedTablePackets(reader, bytes.data() + at, std::min(sample, bytes.size() - at));
    return fed;
}

size_t TablePacketBytes(const std::vector<uint8_t>& bytes) {
    size_t total = 0;
    for (size_t at = 0; at + 188 <= bytes.size(); at += 188) {
        const int pid = ((bytes[at + 1] & 0x1F) << 8) | bytes[at + 2];
        total += (pid == 0x10 || pid == 0x11) ? 188 : 0;
    }
    return total;
}

void ExpectSameIdentity(const BroadcastIdentity& a, const BroadcastIdentity& b) {
    EXPECT_EQ(a.Position, b.Position);
    EXPECT_EQ(a.NetworkId, b.NetworkId);
    EXPECT_EQ(a.TransportStreamId, b.TransportStreamId);
    EXPECT_EQ(a.OriginalNetworkId, b.OriginalNetworkId);
    EXPECT_STREQ(a.NetworkName, b.NetworkName);
    EXPECT_EQ(a.ServiceCount, b.ServiceCount);
    EXPECT_EQ(a.TransponderCount, b.TransponderCount);
}

}  // namespace

TEST(TablePackets, AlignedSamplesPassOnlyTheTables) {
    const std::vector<uint8_t> bytes = Recording();
    ASSERT_EQ(bytes.size() % 188, 0u);
    IdentityReaderPtr whole = CreateIdentityReader();
    FeedTransportStream(whole.get(), bytes.data(), bytes.size());
    const BroadcastIdentity expected = ReadBroadcastIdentity(*whole);
    ASSERT_EQ(expected.Position, 130);
    for (size_t sample : {188u, 188u * 7, 188u * 100}) {
        SCOPED_TRACE(sample);
        IdentityReaderPtr reader = CreateIdentityReader();
        EXPECT_EQ(FeedInSamples(reader.get(), bytes, sample), TablePacketBytes(bytes));
        ExpectSameIdentity(ReadBroadcastIdentity(*reader), expected);
    }
}

TEST(TablePackets, SamplesCutInsidePacketsLoseNothing) {
    std::vector<uint8_t> bytes = Recording();
    // Stray bytes in front, as a card may deliver after a retune.
    bytes.insert(bytes.begin(), {0x00, 0x47, 0x12});
    IdentityReaderPtr whole = CreateIdentityReader();
    FeedTransportStream(whole.get(), bytes.data(), bytes.size());
    const BroadcastIdentity expected = ReadBroadcastIdentity(*whole);
    EXPECT_EQ(expected.Position, 130);
    for (size_t sample : {1u, 100u, 188u, 1000u}) {
        SCOPED_TRACE(sample);
        IdentityReaderPtr reader = CreateIdentityReader();
        FeedInSamples(reader.get(), bytes, sample);
        ExpectSameIdentity(ReadBroadcastIdentity(*reader), expected);
    }
}

TEST(TablePackets, NothingAndOddEndsAreSafe) {
    IdentityReaderPtr reader = CreateIdentityReader();
    EXPECT_EQ(FeedTablePackets(reader.get(), nullptr, 0), 0u);
    const uint8_t tail[5] = {0x47, 0x00, 0x10, 0x10, 0x00};  // a NIT packet's first bytes only
    EXPECT_EQ(FeedTablePackets(reader.get(), tail, sizeof tail), sizeof tail);
    EXPECT_EQ(ReadBroadcastIdentity(*reader).Position, kPositionUnknown);
}
