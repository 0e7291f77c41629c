#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "skin/packed_image.h"

namespace {

// Minimal stream writer: MSB-first bits into little-endian 32-bit words.
struct TestStream {
    std::vector<uint8_t> Bytes;
    uint32_t Word = 0;
    int Count = 0;
    void Bit(unsigned b)
    {
        Word = Word << 1 | (b & 1);
        if (++Count == 32) Flush();
    }
    void Bits(uint64_t v, int n) { for (int i = n - 1; i >= 0; i--) Bit(unsigned(v >> i) & 1); }
    void Gamma(uint32_t v)
    {
        int top = 31;
        while (!(v >> top)) top--;
        for (int i = top - 1; i >= 0; i--) { Bit((v >> i) & 1); Bit(i > 0); }
    }
    void Flush()
    {
        if (Count == 0) return;
        Word <<= (32 - Count);
        for (int i = 0; i < 4; i++) Bytes.push_back(uint8_t(Word >> (8 * i)));
        Word = 0;
        Count = 0;
    }
    void Width8() { Bits(1, 3); Bits(0, 5); Bit(1); }
    void Width7(uint8_t base) { Bits(1, 3); Bits(0, 5); Bit(0); Bits(base, 8); }
    void Literal8(uint8_t v) { Bit(1); Bits(v, 8); }
    void End() { Bits(0, 12); }
    std::vector<uint8_t> Container(uint32_t size, uint32_t checksum = 0)
    {
        Flush();
        std::vector<uint8_t> c = {0x4A, 0x43};
        for (int i = 0; i < 4; i++) c.push_back(uint8_t(size >> (8 * i)));
        for (int i = 0; i < 4; i++) c.push_back(uint8_t(checksum >> (8 * i)));
        c.insert(c.end(), Bytes.begin(), Bytes.end());
        return c;
    }
};

std::string Unpack(const std::vector<uint8_t>& c, size_t capacity = 4096)
{
    std::vector<uint8_t> out(capacity, 0xEE);
    uint32_t n = UnpackImage(c.data(), c.size(), out.data(), out.size());
    if (n == 0) return "<refused>";
    return std::string(out.begin(), out.begin() + n);
}

std::vector<uint8_t> Bytes(const char* s) { return std::vector<uint8_t>(s, s + std::strlen(s)); }

}  // namespace

TEST(PackedChecksum, KnownValues)
{
    EXPECT_EQ(PackedChecksum(Bytes("abcd").data(), 4), 0xACA5A6A2u);
    EXPECT_EQ(PackedChecksum(Bytes("abcde").data(), 5), 0xD8C2CCC1u);
    EXPECT_EQ(PackedChecksum(Bytes("abcabcab").data(), 8), 0xC2C5CCC1u);
    EXPECT_EQ(PackedChecksum(Bytes("abc").data(), 3), 0u);
    EXPECT_EQ(PackedChecksum(nullptr, 0), 0u);
}

TEST(UnpackImage, WorkedExample)
{
    std::vector<uint8_t> c = {0x4A, 0x43, 0x08, 0, 0, 0, 0xC1, 0xCC, 0xC5, 0xC2,
                              0x56, 0x6C, 0xD8, 0x20, 0x00, 0x00, 0x0F, 0x30};
    EXPECT_EQ(PackedImageSize(c.data(), c.size()), 8u);
    EXPECT_EQ(Unpack(c), "abcabcab");
    // The same stream with a wrong checksum is refused, but the bytes stay written.
    std::vector<uint8_t> bad = c;
    bad[6] ^= 1;
    std::vector<uint8_t> out(8, 0);
    EXPECT_EQ(UnpackImage(bad.data(), bad.size(), out.data(), out.size()), 0u);
    EXPECT_EQ(std::string(out.begin(), out.end()), "abcabcab");
    // Checksum 0 switches the check off.
    std::memset(&bad[6], 0, 4);
    EXPECT_EQ(Unpack(bad), "abcabcab");
}

TEST(UnpackImage, EachCodeKind)
{
    {   // one-byte codes: zero byte and copy from distance 1..14
        TestStream s;
        s.Width8();
        s.Literal8('x'); s.Literal8('y');
        s.Bits(1, 3); s.Bits(1, 4);      // 0x00
        s.Bits(1, 3); s.Bits(2 + 1, 4);  // byte at distance 2: 'y'
        s.End();
        EXPECT_EQ(Unpack(s.Container(4)), std::string("xy\0y", 4));
    }
    {   // 7-bit literals with a base wrap modulo 256; short match of 5 at distance 1
        TestStream s;
        s.Width7(200);
        s.Bit(1); s.Bits(0x7F, 7);       // 200 + 127 = 327 mod 256 = 71 'G'
        s.Bit(1); s.Bits(0, 7);          // 200
        s.Bits(0, 3); s.Bits(1, 7); s.Bits(3, 2);
        s.End();
        EXPECT_EQ(Unpack(s.Container(7)), std::string("G\xC8\xC8\xC8\xC8\xC8\xC8"));
    }
    {   // repeat match before any explicit match uses the initial distance 1
        TestStream s;
        s.Width8();
        s.Literal8('q');
        s.Bits(1, 2); s.Gamma(2); s.Gamma(3);
        s.End();
        EXPECT_EQ(Unpack(s.Container(4)), "qqqq");
    }
    {   // long match: distance 3 needs L + 4; then a repeat reuses distance 3
        TestStream s;
        s.Width8();
        s.Literal8('a'); s.Literal8('b'); s.Literal8('c');
        s.Bits(1, 2); s.Gamma(3); s.Bits(3, 8); s.Gamma(2);  // length 6
        s.Bits(1, 2); s.Gamma(2); s.Gamma(2);                // repeat, length 2
        s.End();
        EXPECT_EQ(Unpack(s.Container(11)), "abcabcabcab");
    }
    {   // index-width code to 4 bits; long match distance 130 = (8 << 4) | 2 (no adjustment)
        std::string expect;
        TestStream s;
        s.Width8();
        for (int i = 0; i < 130; i++) { s.Literal8(uint8_t('A' + i % 26)); expect += char('A' + i % 26); }
        s.Bits(0, 10); s.Bits(1, 2); s.Bits(4, 4);
        s.Bits(1, 2); s.Gamma(8 + 3); s.Bits(2, 4); s.Gamma(2);
        expect += expect.substr(0, 2);
        s.End();
        EXPECT_EQ(Unpack(s.Container(132)), expect);
    }
    {   // two chained raw blocks ignore the literal width; literals afterwards use it again
        std::string expect;
        TestStream s;
        s.Width7(0x40);
        s.Bits(1, 3); s.Bits(0, 4); s.Bit(1);
        for (int i = 0; i < 512; i++) { s.Bits(uint8_t(i * 7), 8); expect += char(uint8_t(i * 7)); }
        s.Bit(0);
        s.Bit(1); s.Bits(1, 7);
        expect += char(0x41);
        s.End();
        // a chained pair needs the continuation bit 1 between the blocks
        TestStream t;
        t.Width7(0x40);
        t.Bits(1, 3); t.Bits(0, 4); t.Bit(1);
        for (int i = 0; i < 256; i++) t.Bits(uint8_t(i * 7), 8);
        t.Bit(1);
        for (int i = 256; i < 512; i++) t.Bits(uint8_t(i * 7), 8);
        t.Bit(0);
        t.Bit(1); t.Bits(1, 7);
        t.End();
        EXPECT_EQ(Unpack(t.Container(513)), expect);
        EXPECT_EQ(Unpack(s.Container(513)), "<refused>");  // one block then a literal is not 513 bytes
    }
}

TEST(UnpackImage, RefusesDamage)
{
    auto base = [] {
        TestStream s;
        s.Width8();
        s.Literal8('a');
        return s;
    };
    {   TestStream s = base(); s.Bits(0, 3); s.Bits(2, 7); s.Bits(0, 2); s.End();
        EXPECT_EQ(Unpack(s.Container(3)), "<refused>"); }          // short match before output start
    {   TestStream s = base(); s.Bits(1, 3); s.Bits(3, 4); s.End();
        EXPECT_EQ(Unpack(s.Container(2)), "<refused>"); }          // one-byte copy before start
    {   TestStream s = base(); s.Bits(1, 2); s.Gamma(3); s.Bits(200, 8); s.Gamma(2); s.End();
        EXPECT_EQ(Unpack(s.Container(131)), "<refused>"); }        // long match before start
    {   TestStream s = base(); s.Literal8('b'); s.End();
        EXPECT_EQ(Unpack(s.Container(1)), "<refused>");            // output beyond unpacked size
        EXPECT_EQ(Unpack(s.Container(2), 1), "<refused>");         // or beyond the buffer
        EXPECT_EQ(Unpack(s.Container(3)), "<refused>"); }          // or ending short of it
    {   TestStream s = base(); s.Literal8('b');
        EXPECT_EQ(Unpack(s.Container(2)), "<refused>"); }          // no end code
    {   TestStream s = base(); s.End();
        std::vector<uint8_t> c = s.Container(1);
        EXPECT_EQ(Unpack(c), "a");
        c.resize(c.size() - 1);                                    // partial last word
        EXPECT_EQ(Unpack(c), "<refused>"); }
    {   TestStream s; s.Literal8('a'); s.End();
        EXPECT_EQ(Unpack(s.Container(1)), "<refused>"); }          // literal before width code
    {   TestStream s = base(); s.Bits(1, 2); s.Gamma(2); s.Gamma(0x7FFFFFFF); s.End();
        EXPECT_EQ(Unpack(s.Container(100)), "<refused>"); }        // huge repeat length
    {   TestStream s = base(); s.End();
        std::vector<uint8_t> c = s.Container(1);
        c[1] = 0x44;                                               // wrong magic: nothing written
        std::vector<uint8_t> out(4, 0xEE);
        EXPECT_EQ(PackedImageSize(c.data(), c.size()), 0u);
        EXPECT_EQ(UnpackImage(c.data(), c.size(), out.data(), out.size()), 0u);
        EXPECT_EQ(out[0], 0xEE);
        EXPECT_EQ(PackedImageSize(c.data(), 5), 0u); }
}

TEST(SheetPixels, LayoutAndCopy)
{
    const uint32_t w = 646, h = 200;
    std::vector<uint8_t> payload(8 + w * h * 3);
    std::memcpy(payload.data(), &w, 4);
    std::memcpy(payload.data() + 4, &h, 4);
    for (size_t i = 8; i < payload.size(); i++) payload[i] = uint8_t(1 + i % 251);
    int32_t pw = 0, ph = 0;
    ASSERT_TRUE(SheetPixelLayout(payload.data(), uint32_t(payload.size()), &pw, &ph));
    EXPECT_EQ(pw, 646);
    EXPECT_EQ(ph, 200);
    EXPECT_FALSE(SheetPixelLayout(payload.data(), uint32_t(payload.size() - 1), &pw, &ph));
    EXPECT_FALSE(SheetPixelLayout(payload.data(), 7, &pw, &ph));

    const size_t stride = (w * 3 + 3) & ~3u;
    EXPECT_EQ(stride, 1940u);
    std::vector<uint8_t> pixels(h * stride, 0xEE);
    CopySheetPixels(payload.data(), uint32_t(payload.size()), pixels.data(), pixels.size());
    EXPECT_EQ(std::memcmp(pixels.data(), payload.data() + 8, w * h * 3), 0);
    // The payload ends 400 bytes short: the top row stops after 1540 bytes.
    for (size_t i = w * h * 3; i < pixels.size(); i++) ASSERT_EQ(pixels[i], 0) << i;
    EXPECT_EQ(w * h * 3 - (h - 1) * stride, 1540u);
}
