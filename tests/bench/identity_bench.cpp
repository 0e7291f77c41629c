// The identity reader's throughput on one core: a long synthetic recording
// (video and null packets, then the only NIT and SDT at its very end) fed
// from memory in slices of several sizes, and read from a file as
// `bdaprobe --identify` reads it. Prints figures; passes or fails nothing.
//
// usage: identity_bench [MEGABYTES] [FILE]   (FILE: written, then identified)
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <vector>

#include "identity/broadcast_identity.h"
#include "bdatuner/identity_report.h"
#include "tests/native/broadcast_builder.h"

namespace {

using Clock = std::chrono::steady_clock;

// Video packets with random payload (0x47 bytes among it) on PID 0x100, some
// with an adaptation field, one in ten a null packet; a Hot Bird sort of NIT
// over three sections and an SDT at the end.
Bytes LongRecording(size_t megabytes, size_t* tablePackets) {
    const size_t packets = megabytes * 1000000 / kPacketBytes;
    Bytes stream(packets * kPacketBytes);
    std::mt19937 random(1);
    uint8_t cc = 0;
    for (size_t i = 0; i < packets; ++i) {
        uint8_t* p = stream.data() + i * kPacketBytes;
        for (size_t k = 4; k < kPacketBytes; k += 4) {
            const uint32_t r = random();
            for (size_t b = 0; b < 4 && k + b < kPacketBytes; ++b) p[k + b] = static_cast<uint8_t>(r >> (8 * b));
        }
        const bool null = i % 10 == 9;
        p[0] = 0x47;
        p[1] = null ? 0x1F : 0x01;
        p[2] = null ? 0xFF : 0x00;
        p[3] = static_cast<uint8_t>((i % 7 == 0 ? 0x30 : 0x10) | (cc++ & 0x0F));
        if (i % 7 == 0) p[4] = 7;
    }
    std::vector<Bytes> sections;
    for (uint8_t s = 0; s < 3; ++s) {
        std::vector<Stream> streams;
        for (int t = 0; t < 25; ++t)
            streams.push_back({static_cast<uint16_t>(s * 100 + t), 318, SatelliteDelivery(130, 10700 + 20 * (s * 25 + t), t & 1 ? 'V' : 'H')});
        sections.push_back(MakeSection(0x40, 318, 3, s, 2, NitBody(s == 0 ? NetworkName(Text("Eutelsat")) : Bytes{}, streams)));
    }
    uint8_t nitCc = 0, sdtCc = 0;
    const Bytes nit = Packetise(0x10, sections, &nitCc);
    const Bytes sdt = Packetise(0x11, {MakeSection(0x42, 7, 0, 0, 0, SdtBody(318, {Text("Rai 1"), Text("Rai 2")}))}, &sdtCc);
    stream.insert(stream.end(), nit.begin(), nit.end());
    stream.insert(stream.end(), sdt.begin(), sdt.end());
    *tablePackets = (nit.size() + sdt.size()) / kPacketBytes;
    return stream;
}

// The best of three runs feeding the stream in slices of slice bytes: MB/s.
double FeedRate(const Bytes& stream, size_t slice, int16_t* position) {
    double best = 0;
    IdentityReaderPtr reader = CreateIdentityReader();
    for (int run = 0; run < 3; ++run) {
        ResetIdentityReader(reader.get());
        const auto start = Clock::now();
        for (size_t at = 0; at < stream.size(); at += slice)
            FeedTransportStream(reader.get(), stream.data() + at, std::min(slice, stream.size() - at));
        const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
        *position = ReadBroadcastIdentity(*reader).Position;
        const double rate = stream.size() / 1e6 / seconds;
        if (rate > best) best = rate;
    }
    return best;
}

void IdentifyFile(const Bytes& stream, const char* path) {
    std::FILE* out = std::fopen(path, "wb");
    if (!out || std::fwrite(stream.data(), 1, stream.size(), out) != stream.size()) {
        std::printf("could not write %s\n", path);
        if (out) std::fclose(out);
        return;
    }
    std::fclose(out);
    std::vector<unsigned char> chunk(1 << 20);
    for (int run = 0; run < 2; ++run) {  // the second with the file in the page cache
        std::FILE* in = std::fopen(path, "rb");
        const auto start = Clock::now();
        const BroadcastIdentity id = IdentifyStream(in, chunk.data(), chunk.size());
        const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
        std::fclose(in);
        char position[8];
        FormatPosition(id.Position, position);
        std::printf("identify %s (fread, 1 MB chunks, run %d): %.0f MB/s, %.2f s, position %s, exit code %d\n", path,
                    run + 1, stream.size() / 1e6 / seconds, seconds, position, IdentifyExitCode(id));
    }
}

}  // namespace

int main(int argc, char** argv) {
    const size_t megabytes = argc > 1 ? std::strtoul(argv[1], nullptr, 10) : 200;
    size_t tablePackets = 0;
    Bytes stream = LongRecording(megabytes, &tablePackets);
    std::printf("synthetic recording: %.1f MB, the only NIT and SDT in its last %zu packets\n", stream.size() / 1e6,
                tablePackets);
    for (size_t slice : {size_t{1} << 20, size_t{65536}, size_t{1000}, size_t{188}}) {
        int16_t position;
        const double rate = FeedRate(stream, slice, &position);
        char text[8];
        FormatPosition(position, text);
        std::printf("feed in %7zu-byte slices: %6.0f MB/s on one core (position %s)\n", slice, rate, text);
    }
    // Damaged: every hundredth packet loses ten bytes, so sync is lost and
    // hunted for again through random payload full of 0x47 bytes.
    Bytes damaged;
    damaged.reserve(stream.size());
    for (size_t at = 0; at < stream.size(); at += kPacketBytes) {
        const bool cut = (at / kPacketBytes) % 100 == 50 && at + kPacketBytes * (tablePackets + 1) < stream.size();
        damaged.insert(damaged.end(), stream.begin() + at, stream.begin() + at + (cut ? kPacketBytes - 10 : kPacketBytes));
    }
    int16_t position;
    const double rate = FeedRate(damaged, size_t{1} << 20, &position);
    char text[8];
    FormatPosition(position, text);
    std::printf("feed with sync lost every 100 packets, 1 MB slices: %6.0f MB/s (position %s)\n", rate, text);
    if (argc > 2) IdentifyFile(stream, argv[2]);
    return 0;
}
