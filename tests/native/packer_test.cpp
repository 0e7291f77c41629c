#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "skin/packed_image.h"
#include "tools/packer/pack_stream.h"

namespace {

std::vector<uint8_t> RoundTrip(const std::vector<uint8_t>& data)
{
    std::vector<uint8_t> packed = PackImage(data.data(), data.size());
    EXPECT_EQ((packed.size() - PackedHeaderSize) % 4, 0u);
    EXPECT_EQ(PackedImageSize(packed.data(), packed.size()), data.size());
    std::vector<uint8_t> out(data.size() + 1, 0xEE);
    uint32_t n = UnpackImage(packed.data(), packed.size(), out.data(), out.size());
    EXPECT_EQ(n, data.size());
    out.resize(n);
    return out;
}

std::vector<uint8_t> Noise(size_t n, uint32_t seed)
{
    std::mt19937 rng(seed);
    std::vector<uint8_t> v(n);
    for (auto& b : v) b = uint8_t(rng());
    return v;
}

}  // namespace

TEST(PackerRoundTrip, SmallInputs)
{
    std::vector<uint8_t> empty;
    std::vector<uint8_t> packed = PackImage(empty.data(), 0);
    EXPECT_EQ(PackedImageSize(packed.data(), packed.size()), 0u);
    // An empty image still carries a valid stream: the end code alone.
    EXPECT_EQ(packed.size(), PackedHeaderSize + 4);

    for (std::vector<uint8_t> v : {std::vector<uint8_t>{'x'}, std::vector<uint8_t>{0}, std::vector<uint8_t>{1, 2},
                                   std::vector<uint8_t>{0, 0, 0, 0, 0, 0, 0}})
        EXPECT_EQ(RoundTrip(v), v);
}

TEST(PackerRoundTrip, RunsAndRepeats)
{
    std::vector<uint8_t> run(100000, 0x41);
    EXPECT_EQ(RoundTrip(run), run);
    std::vector<uint8_t> packed = PackImage(run.data(), run.size());
    EXPECT_LT(packed.size(), 64u);

    // A noise block repeated far away must be found as a long-distance match.
    std::vector<uint8_t> block = Noise(5000, 7), far = Noise(120000, 8);
    std::vector<uint8_t> v = block;
    v.insert(v.end(), far.begin(), far.end());
    v.insert(v.end(), block.begin(), block.end());
    EXPECT_EQ(RoundTrip(v), v);
    EXPECT_LT(PackImage(v.data(), v.size()).size(), v.size() - 4500);

    std::vector<uint8_t> periodic;
    for (int i = 0; i < 30000; i++) periodic.push_back(uint8_t("abcXYZ12"[i % 8] + (i / 997)));
    EXPECT_EQ(RoundTrip(periodic), periodic);
}

TEST(PackerRoundTrip, NoiseAndText)
{
    std::vector<uint8_t> noise = Noise(70000, 1);
    EXPECT_EQ(RoundTrip(noise), noise);
    // Incompressible data goes into raw blocks: barely above 8 bits a byte.
    EXPECT_LT(PackImage(noise.data(), noise.size()).size(), noise.size() + noise.size() / 100);

    std::string text;
    const char* words[] = {"satellite ", "transponder ", "level ", "lock ", "Astra ", "HotBird ", "13.0e\n"};
    std::mt19937 rng(3);
    while (text.size() < 60000) text += words[rng() % 7];
    std::vector<uint8_t> t(text.begin(), text.end());
    EXPECT_EQ(RoundTrip(t), t);
    EXPECT_LT(PackImage(t.data(), t.size()).size(), t.size() / 4);

    // Bytes confined to a band of 100 values: 7-bit literals with a base (8 bits
    // with their prefix) must beat both 9-bit literals and raw blocks.
    std::vector<uint8_t> band(4000);
    for (auto& b : band) b = uint8_t(200 + rng() % 100);
    EXPECT_EQ(RoundTrip(band), band);
    EXPECT_LT(PackImage(band.data(), band.size()).size(), band.size());
}

TEST(PackerRoundTrip, SheetLikeImage)
{
    const uint32_t w = 646, h = 200;
    std::vector<uint8_t> img(8 + w * h * 3);
    std::memcpy(img.data(), &w, 4);
    std::memcpy(img.data() + 4, &h, 4);
    std::mt19937 rng(5);
    for (uint32_t y = 0; y < h; y++)
        for (uint32_t x = 0; x < w; x++) {
            uint8_t* p = img.data() + 8 + (y * w + x) * 3;
            bool button = x > 350 && (x / 37 + y / 25) % 2 == 0;
            p[0] = uint8_t(button ? 40 + x % 7 : 180 - y / 4);
            p[1] = uint8_t(button ? 90 : 150 + (x + y) / 64);
            p[2] = uint8_t(button ? 200 - y / 10 : 120 + (rng() % 3));
        }
    std::vector<uint8_t> out = RoundTrip(img);
    EXPECT_EQ(out, img);
    std::vector<uint8_t> packed = PackImage(img.data(), img.size());
    EXPECT_LT(packed.size(), img.size() / 4);
    int32_t pw = 0, ph = 0;
    EXPECT_TRUE(SheetPixelLayout(out.data(), uint32_t(out.size()), &pw, &ph));
    EXPECT_EQ(pw, 646);
    EXPECT_EQ(ph, 200);
}
