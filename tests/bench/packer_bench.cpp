// Packs a file and compares size with zlib -9 and xz -9, and unpack time with inflate.
#include <zlib.h>

#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "skin/packed_image.h"
#include "tools/packer/pack_stream.h"

int main(int argc, char** argv)
{
    if (argc != 2) { std::fprintf(stderr, "usage: packer_bench FILE\n"); return 2; }
    std::FILE* f = std::fopen(argv[1], "rb");
    if (!f) { std::perror(argv[1]); return 1; }
    std::vector<uint8_t> data;
    int c;
    while ((c = std::fgetc(f)) != EOF) data.push_back(uint8_t(c));
    std::fclose(f);

    using Clock = std::chrono::steady_clock;
    auto t0 = Clock::now();
    std::vector<uint8_t> packed = PackImage(data.data(), data.size());
    double packMs = std::chrono::duration<double, std::milli>(Clock::now() - t0).count();

    uLongf zSize = compressBound(uLong(data.size()));
    std::vector<uint8_t> z(zSize);
    compress2(z.data(), &zSize, data.data(), uLong(data.size()), 9);

    std::string cmd = "xz -9 -c '" + std::string(argv[1]) + "' | wc -c";
    long xzSize = -1;
    if (std::FILE* p = popen(cmd.c_str(), "r")) { if (std::fscanf(p, "%ld", &xzSize) != 1) xzSize = -1; pclose(p); }

    const int Rounds = 20;
    std::vector<uint8_t> out(data.size() + 1);
    uint32_t n = 0;
    t0 = Clock::now();
    for (int i = 0; i < Rounds; i++) n = UnpackImage(packed.data(), packed.size(), out.data(), out.size());
    double unpackMs = std::chrono::duration<double, std::milli>(Clock::now() - t0).count() / Rounds;
    t0 = Clock::now();
    for (int i = 0; i < Rounds; i++) {
        uLongf len = uLongf(out.size());
        uncompress(out.data(), &len, z.data(), zSize);
    }
    double inflateMs = std::chrono::duration<double, std::milli>(Clock::now() - t0).count() / Rounds;

    std::printf("input %zu, packed %zu (%.1f%%, %.0f ms), zlib-9 %lu, xz-9 %ld\n", data.size(), packed.size(),
                100.0 * packed.size() / (data.size() ? data.size() : 1), packMs, (unsigned long)zSize, xzSize);
    std::printf("unpack %.2f ms (%s), inflate %.2f ms\n", unpackMs, n == data.size() ? "ok" : "FAILED", inflateMs);
    return n == data.size() ? 0 : 1;
}
