// Build tool: packs a file into the "JC" container embedded as the skin resource.
#include <algorithm>
#include <cstdio>
#include <vector>

#include "tools/packer/pack_stream.h"

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: packer INPUT OUTPUT\n");
        return 2;
    }
    std::FILE* in = std::fopen(argv[1], "rb");
    if (!in) { std::perror(argv[1]); return 1; }
    std::vector<uint8_t> data;
    uint8_t buf[65536];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, in)) > 0) data.insert(data.end(), buf, buf + n);
    std::fclose(in);
    std::vector<uint8_t> packed = PackImage(data.data(), data.size());
    std::FILE* out = std::fopen(argv[2], "wb");
    if (!out) { std::perror(argv[2]); return 1; }
    bool ok = std::fwrite(packed.data(), 1, packed.size(), out) == packed.size();
    ok = std::fclose(out) == 0 && ok;
    if (!ok) { std::fprintf(stderr, "write failed\n"); return 1; }
    std::printf("%zu -> %zu bytes\n", data.size(), packed.size());
    return 0;
}
