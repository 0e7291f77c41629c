// The bridge's stream tap on one core: how many megabytes a second of a
// transponder's stream the identity reader gets through in the samples a
// BDA capture pin delivers.
// Prints figures; asserts nothing.
//
// usage: stream_tap_bench RECORDING.ts
#include <chrono>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <vector>

#include "identity/broadcast_identity.h"

namespace {

constexpr size_t kStreamBytes = 188u * 400000;  // 75 MB
constexpr size_t kSampleBytes = 188u * 40;       // a BDA capture pin's sample

// The recording's packets, its tables among them, repeated to the size.
std::vector<uint8_t> Stream(const std::vector<uint8_t>& recording) {
    std::vector<uint8_t> stream;
    stream.reserve(kStreamBytes);
    while (stream.size() + recording.size() <= kStreamBytes) stream.insert(stream.end(), recording.begin(), recording.end());
    return stream;
}

template <typename Feed>
double MegabytesPerSecond(const std::vector<uint8_t>& stream, Feed feed, int16_t* position) {
    IdentityReaderPtr reader = CreateIdentityReader();
    const auto start = std::chrono::steady_clock::now();
    for (size_t at = 0; at + kSampleBytes <= stream.size(); at += kSampleBytes) feed(reader.get(), &stream[at]);
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    *position = ReadBroadcastIdentity(*reader).Position;
    return stream.size() / 1e6 / seconds;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) return 2;
    std::ifstream in(argv[1], std::ios::binary);
    const std::vector<uint8_t> recording((std::istreambuf_iterator<char>(in)), {});
    if (recording.size() < 188) return 2;
    const std::vector<uint8_t> stream = Stream(recording);
    int16_t position = 0;
    const double rate = MegabytesPerSecond(
        stream, [](IdentityReader* r, const uint8_t* s) { FeedTransportStream(r, s, kSampleBytes); }, &position);
    std::printf("Stream tap, %zu MB in samples of 40 packets, one core: %.0f MB/s (position %d)\n",
                stream.size() / 1000000, rate, position);
    std::printf("  a 60 Mbit/s transponder (7.5 MB/s) costs the tap %.2f %% of one core\n", 7.5 / rate * 100);
    return 0;
}
