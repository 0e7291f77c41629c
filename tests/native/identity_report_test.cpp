// `bdaprobe --identify` on a recording made off air, whole and damaged: the
// lines it prints and its exit code; a damaged copy may lose the identity
// but never gives another position.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "bdatuner/identity_report.h"

namespace {

const char kRecording[] = ZENTRIK_TEST_DATA_DIR "/broadcast/hotbird13e-mediaset.ts";

std::vector<uint8_t> Recording() {
    std::ifstream in(kRecording, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

// Identifies the bytes through a file, read in chunks of chunk bytes.
BroadcastIdentity IdentifyBytes(const std::vector<uint8_t>& bytes, size_t chunk = 4096) {
    std::FILE* file = std::tmpfile();
    if (!bytes.empty()) std::fwrite(bytes.data(), 1, bytes.size(), file);
    std::rewind(file);
    std::vector<unsigned char> buffer(chunk);
    const BroadcastIdentity id = IdentifyStream(file, buffer.data(), chunk);
    std::fclose(file);
    return id;
}

std::string Report(const BroadcastIdentity& id) {
    char text[kIdentityReportBytes];
    FormatIdentityReport(id, text, sizeof text);
    return text;
}

TEST(IdentifyRecording, HotBirdMediasetOffAir) {
    const std::vector<uint8_t> bytes = Recording();
    ASSERT_EQ(bytes.size(), 18800u);
    for (size_t chunk : {size_t{1} << 20, size_t{1000}, size_t{7}}) {
        const BroadcastIdentity id = IdentifyBytes(bytes, chunk);
        EXPECT_EQ(Report(id),
                  "position: 13.0E\n"
                  "network: Mediaset\n"
                  "network id: 272\n"
                  "transport stream: 6000 (original network 272)\n"
                  "services: Italia 1, Canale 5, Rete 4, Iris, Boing, La 5, TgCom24, Mediaset EXTRA\n");
        EXPECT_EQ(IdentifyExitCode(id), kIdentifyPosition);
        ASSERT_EQ(id.TransponderCount, 1);
        EXPECT_EQ(id.Transponders[0].FrequencyKhz, 11919000u);
        EXPECT_EQ(id.Transponders[0].Polarisation, 'V');
        EXPECT_EQ(id.Transponders[0].SymbolRate, 29900000u);
    }
}

TEST(IdentifyRecording, DamagedCopiesNeverGiveAnotherPosition) {
    const std::vector<uint8_t> whole = Recording();
    std::mt19937 random(2026);
    int positions = 0;
    for (int round = 0; round < 300; ++round) {
        std::vector<uint8_t> copy = whole;
        const int kind = round % 3;
        if (kind == 0) {
            copy.resize(random() % copy.size());  // truncated
        } else if (kind == 1) {
            for (int flips = 1 + random() % 40; flips > 0; --flips) copy[random() % copy.size()] ^= 1 << (random() % 8);
        } else {
            for (int drops = 1 + random() % 20; drops > 0 && copy.size() > 188; --drops) {
                const size_t at = (random() % (copy.size() / 188)) * 188;
                copy.erase(copy.begin() + at, copy.begin() + at + 188);
            }
        }
        const BroadcastIdentity id = IdentifyBytes(copy);
        if (id.Position != kPositionUnknown) ++positions;
        EXPECT_TRUE(id.Position == kPositionUnknown || id.Position == 130) << round;
        EXPECT_EQ(IdentifyExitCode(id), id.Position == 130 ? kIdentifyPosition
                                        : id.Synchronised ? kIdentifyNoPosition : kIdentifyNoStream);
        if (id.HaveNit) {
            EXPECT_EQ(id.NetworkId, 272);
        }
    }
    EXPECT_GT(positions, 100);  // damage here and there leaves most copies readable
}

TEST(IdentifyRecording, LinesAndExitCodesWithoutTheTables) {
    EXPECT_EQ(IdentifyExitCode(IdentifyBytes({})), kIdentifyNoStream);
    EXPECT_EQ(IdentifyExitCode(IdentifyBytes(std::vector<uint8_t>(5000, 0x47))), kIdentifyNoPosition);
    std::vector<uint8_t> text(5000, 'x');
    EXPECT_EQ(IdentifyExitCode(IdentifyBytes(text)), kIdentifyNoStream);
    // Only the first 20 packets: they hold the NIT's first copy but not the SDT.
    std::vector<uint8_t> start = Recording();
    start.resize(188 * 20);
    const BroadcastIdentity id = IdentifyBytes(start);
    EXPECT_FALSE(id.HaveSdt);
    EXPECT_EQ(Report(id), "position: 13.0E\nnetwork: Mediaset\nnetwork id: 272\ntransport stream: unknown\nservices: unknown\n");
    EXPECT_EQ(IdentifyExitCode(id), kIdentifyPosition);
    EXPECT_EQ(Report(BroadcastIdentity{}),
              "position: unknown\nnetwork: unknown\nnetwork id: unknown\ntransport stream: unknown\nservices: unknown\n");
}

}  // namespace
