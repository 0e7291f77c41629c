#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <fstream>
#include <iterator>
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

// Decodes into a buffer of exactly the header's size, so that the sanitiser
// sees any write past the unpacked size.
std::string UnpackExact(const std::vector<uint8_t>& c)
{
    std::vector<uint8_t> out(PackedImageSize(c.data(), c.size()));
    uint32_t n = UnpackImage(c.data(), c.size(), out.data(), out.size());
    if (n == 0) return "<refused>";
    return std::string(out.begin(), out.begin() + n);
}

// Writes count 8-bit literals of fixed pseudo-random bytes and appends them to
// expect, so that a copy from a wrong distance shows in the output.
void Literals(TestStream* s, std::string* expect, size_t count)
{
    uint32_t x = 0x2545F491u + uint32_t(expect->size());
    for (size_t i = 0; i < count; i++) {
        x ^= x << 13; x ^= x >> 17; x ^= x << 5;
        s->Literal8(uint8_t(x));
        expect->push_back(char(uint8_t(x)));
    }
}

// The expected bytes of a match: copied one at a time from distance back, so a
// length above the distance repeats the last distance-many bytes.
void Copy(std::string* expect, size_t distance, size_t length)
{
    for (size_t i = 0; i < length; i++) {
        char c = (*expect)[expect->size() - distance];
        expect->push_back(c);
    }
}

// Long match code: prefix 01, gamma of the high part + 3, the low indexBits
// bits, gamma of the coded length (before the distance's adjustment).
void LongMatch(TestStream* s, int indexBits, uint64_t distance, uint32_t codedLength)
{
    s->Bits(1, 2);
    s->Gamma(uint32_t(distance >> indexBits) + 3);
    s->Bits(distance & ((uint64_t(1) << indexBits) - 1), indexBits);
    s->Gamma(codedLength);
}

void Repeat(TestStream* s, uint32_t length) { s->Bits(1, 2); s->Gamma(2); s->Gamma(length); }

// Index-width code: 000, seven zero bits, N (1 to 3), then N + 3 bits of width.
void IndexWidth(TestStream* s, unsigned n, unsigned width) { s->Bits(0, 10); s->Bits(n, 2); s->Bits(width, int(n) + 3); }

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
        s.Bit(1); s.Bits(0, 7);          // the base alone: byte value 200
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

TEST(UnpackImage, LongMatchLengthOnBothSidesOfEachDistanceBoundary)
{
    // Distance -> bytes added to the coded length: 1..127 four, 128..638 none,
    // 639..14334 one, 14335..65535 two, 65536 and above three.
    const struct { uint32_t Distance, Added; } cases[] = {
        {1, 4},     {127, 4},   {128, 0},   {638, 0},   {639, 1},
        {14334, 1}, {14335, 2}, {65535, 2}, {65536, 3}, {70000, 3},
    };
    for (const auto& c : cases) {
        for (uint32_t coded : {2u, 3u}) {
            TestStream s;
            std::string expect;
            s.Width8();
            Literals(&s, &expect, c.Distance + 5);
            LongMatch(&s, 8, c.Distance, coded);
            Copy(&expect, c.Distance, coded + c.Added);
            s.Literal8('Z');  // the next code starts where the match ended
            expect += 'Z';
            s.End();
            const std::string got = UnpackExact(s.Container(uint32_t(expect.size())));
            ASSERT_EQ(got.size(), expect.size()) << "distance " << c.Distance << ", coded length " << coded;
            EXPECT_TRUE(got == expect) << "distance " << c.Distance << ", coded length " << coded;
        }
    }
}

TEST(UnpackImage, IndexWidthCodesSetTheLowBitsOfLaterLongMatches)
{
    // Each width field size (4, 5 and 6 bits, from N = 1, 2, 3) and widths from
    // 0 to the largest a 6-bit field holds; two long matches after the code
    // both use the new width.
    const struct { unsigned N, Width; uint32_t First, FirstAdded, Second, SecondAdded; } cases[] = {
        {1, 0, 5, 4, 12, 4},            // no low bits: the distance is G - 3
        {2, 5, 100, 4, 200, 0},         // 100 = 3 << 5 | 4; 200 = 6 << 5 | 8
        {1, 6, 700, 1, 63, 4},          // 700 = 10 << 6 | 60
        {3, 6, 639, 1, 14334, 1},
        {1, 9, 1000, 1, 14335, 2},
        {2, 10, 14335, 2, 3000, 1},     // 14335 = 13 << 10 | 1023
        {3, 16, 65536, 3, 65535, 2},    // 65536 = 1 << 16 | 0
        {2, 31, 300, 0, 20, 4},
        {3, 32, 700, 1, 127, 4},
        {3, 63, 5, 4, 65536, 3},        // high part 0: all 63 bits are the distance
    };
    for (const auto& c : cases) {
        TestStream s;
        std::string expect;
        s.Width8();
        Literals(&s, &expect, std::max(c.First, c.Second) + 3);
        IndexWidth(&s, c.N, c.Width);
        LongMatch(&s, int(c.Width), c.First, 2);
        Copy(&expect, c.First, 2 + c.FirstAdded);
        Literals(&s, &expect, 1);
        LongMatch(&s, int(c.Width), c.Second, 3);
        Copy(&expect, c.Second, 3 + c.SecondAdded);
        s.End();
        const std::string got = UnpackExact(s.Container(uint32_t(expect.size())));
        ASSERT_EQ(got.size(), expect.size()) << "width " << c.Width << " via N = " << c.N;
        EXPECT_TRUE(got == expect) << "width " << c.Width << " via N = " << c.N;
    }
    {   // a width of 63 with a non-zero high part reaches far before the output start
        TestStream s;
        std::string expect;
        s.Width8();
        Literals(&s, &expect, 10);
        IndexWidth(&s, 3, 63);
        s.Bits(1, 2); s.Gamma(4); s.Bits(5, 63); s.Gamma(2);
        s.End();
        // 16 bytes is what dropping the high part (distance 5, 6 bytes) would make.
        EXPECT_EQ(UnpackExact(s.Container(16)), "<refused>");
    }
    {   // the width lasts until the next index-width code
        TestStream s;
        std::string expect;
        s.Width8();
        Literals(&s, &expect, 300);
        IndexWidth(&s, 2, 5);
        IndexWidth(&s, 1, 7);
        LongMatch(&s, 7, 260, 2);   // 260 = 2 << 7 | 4
        Copy(&expect, 260, 2);
        IndexWidth(&s, 1, 8);
        LongMatch(&s, 8, 260, 2);   // 260 = 1 << 8 | 4
        Copy(&expect, 260, 2);
        s.End();
        EXPECT_TRUE(UnpackExact(s.Container(uint32_t(expect.size()))) == expect);
    }
}

TEST(UnpackImage, RepeatMatchReusesTheLastExplicitDistance)
{
    TestStream s;
    std::string expect;
    s.Width8();
    Literals(&s, &expect, 20010);
    LongMatch(&s, 8, 700, 2);      // 700 adds one: 3 bytes
    Copy(&expect, 700, 3);
    Repeat(&s, 5);                 // same distance, length exactly 5
    Copy(&expect, 700, 5);
    s.Bits(1, 3); s.Bits(5, 4);    // one-byte copy from distance 4 keeps the last distance
    Copy(&expect, 4, 1);
    Repeat(&s, 3);
    Copy(&expect, 700, 3);
    s.Bits(0, 3); s.Bits(9, 7); s.Bits(0, 2);  // short match: distance 9, 2 bytes
    Copy(&expect, 9, 2);
    Repeat(&s, 2);
    Copy(&expect, 9, 2);
    LongMatch(&s, 8, 20000, 2);    // 20000 adds two: 4 bytes
    Copy(&expect, 20000, 4);
    Literals(&s, &expect, 2);      // literals leave it too
    Repeat(&s, 7);
    Copy(&expect, 20000, 7);
    LongMatch(&s, 8, 100, 2);      // 100 adds four: 6 bytes; the repeat adds nothing
    Copy(&expect, 100, 6);
    Repeat(&s, 2);
    Copy(&expect, 100, 2);
    Repeat(&s, 150);               // longer than the distance: repeats its own output
    Copy(&expect, 100, 150);
    s.End();
    const std::string got = UnpackExact(s.Container(uint32_t(expect.size())));
    ASSERT_EQ(got.size(), expect.size());
    EXPECT_TRUE(got == expect);
}

TEST(UnpackImage, LiteralWidthCodeReplacesWidthAndBase)
{
    TestStream s;
    s.Width7(194);
    s.Bit(1); s.Bits(0, 7);        // the base alone: byte value 194
    s.Bit(1); s.Bits(61, 7);       // base plus 61: byte value 255
    s.Bit(1); s.Bits(62, 7);       // 256 mod 256 = 0
    s.Bit(1); s.Bits(127, 7);      // 321 mod 256 = 65 'A'
    s.Width8();                    // back to 8 bits, base 0
    s.Literal8(0x05);
    s.Literal8(0xFF);
    s.Width7(0);                   // 7 bits without a base
    s.Bit(1); s.Bits(0x7F, 7);
    s.Width7(0x80);
    s.Bit(1); s.Bits(0x01, 7);     // 0x81
    s.End();
    const std::vector<uint8_t> expect = {0xC2, 0xFF, 0x00, 'A', 0x05, 0xFF, 0x7F, 0x81};
    EXPECT_EQ(Unpack(s.Container(8)), std::string(expect.begin(), expect.end()));
}

TEST(SheetPayload, ShippedLayoutStridePaddingAndTopRow)
{
    std::ifstream in(ZENTRIK_RESOURCES_DIR "/sheet/skin_sheet.payload", std::ios::binary);
    ASSERT_TRUE(in.good());
    const std::vector<uint8_t> payload((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    // 8 bytes of width and height, then 646 x 200 pixels of 3 bytes.
    ASSERT_EQ(payload.size(), 387608u);
    EXPECT_EQ(std::vector<uint8_t>(payload.begin(), payload.begin() + 8),
              (std::vector<uint8_t>{0x86, 0x02, 0, 0, 0xC8, 0, 0, 0}));
    int32_t w = 0, h = 0;
    ASSERT_TRUE(SheetPixelLayout(payload.data(), uint32_t(payload.size()), &w, &h));
    EXPECT_EQ(w, 646);
    EXPECT_EQ(h, 200);

    // Rows of 1938 pixel bytes at a stride of 1940; the 199 full rows each end
    // in two zero bytes, and the last stored row (the top one) is 1540 bytes.
    const size_t stride = 1940, rowBytes = 1938;
    const uint8_t* pixels = payload.data() + 8;
    const size_t pixelBytes = payload.size() - 8;
    EXPECT_EQ(pixelBytes - 199 * stride, 1540u);
    for (size_t row = 0; row < 199; row++) {
        EXPECT_EQ(pixels[row * stride + rowBytes], 0) << "row " << row;
        EXPECT_EQ(pixels[row * stride + rowBytes + 1], 0) << "row " << row;
    }

    // Read at that stride, the entry strip (42,86)-(307,114) of the window face
    // is RGB(159,211,255), stored blue, green, red, bottom row first.
    size_t wrong = 0;
    for (size_t y = 86; y < 114; y++)
        for (size_t x = 42; x < 307; x++) {
            const uint8_t* p = pixels + (199 - y) * stride + 3 * x;
            if (p[0] != 255 || p[1] != 211 || p[2] != 159) wrong++;
        }
    EXPECT_EQ(wrong, 0u) << "pixels of the entry strip in another colour";
}
