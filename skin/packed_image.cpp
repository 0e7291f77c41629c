#include "skin/packed_image.h"

#include <cstring>

namespace {

constexpr size_t kSizeOffset = 2;
constexpr size_t kChecksumOffset = 6;

// Everything one UnpackImage call needs. A damaged stream only sets Failed;
// the main loop then stops before the next code.
struct Decoder {
    const uint8_t* Source = nullptr;     // next whole 32-bit word of the stream
    const uint8_t* SourceEnd = nullptr;  // end of the last whole word
    uint8_t* Out = nullptr;
    uint64_t Written = 0;
    uint64_t Limit = 0;                  // unpacked size from the header
    uint32_t BitWord = 0;                // current word, next bit in bit 31
    int BitCount = 0;                    // bits of BitWord not yet taken
    uint32_t LastOffset = 1;             // distance of the last explicit match
    int IndexBits = 8;                   // low offset bits of a long match
    int LiteralBits = 0;                 // 0: no literal-width code seen yet
    uint8_t LiteralBase = 0;
    bool Ended = false;                  // the end code has been read
    bool Failed = false;
};

uint32_t ReadLe32(const uint8_t* p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

unsigned GetBit(Decoder& d) {
    if (d.BitCount == 0) {
        // A trailing partial word cannot hold a code: running into it means
        // the end code is missing.
        if (d.SourceEnd - d.Source < 4) {
            d.Failed = true;
            return 0;
        }
        d.BitWord = ReadLe32(d.Source);
        d.Source += 4;
        d.BitCount = 32;
    }
    const unsigned bit = d.BitWord >> 31;
    d.BitWord <<= 1;
    --d.BitCount;
    return bit;
}

// Up to 63 bits: an index-width code can ask for that many low offset bits.
uint64_t GetBits(Decoder& d, int count) {
    uint64_t value = 0;
    for (int i = 0; i < count && !d.Failed; ++i) value = value * 2 + GetBit(d);
    return value;
}

// Interleaved gamma number, smallest value 2. Values that cannot fit 32 bits
// never come from a sound stream and are refused.
uint32_t GetGamma(Decoder& d) {
    uint32_t value = 1;
    do {
        if (value >= 0x80000000u) {
            d.Failed = true;
            return 0;
        }
        value = value * 2 + GetBit(d);
    } while (GetBit(d) && !d.Failed);
    return value;
}

void PutByte(Decoder& d, uint8_t byte) {
    if (d.Written >= d.Limit) {
        d.Failed = true;
        return;
    }
    d.Out[d.Written++] = byte;
}

// Byte by byte and in increasing order, so an overlapping match repeats its
// own output. A match may reach neither before the output's start nor past
// the unpacked size.
void CopyMatch(Decoder& d, uint64_t distance, uint64_t length) {
    if (distance == 0 || distance > d.Written || length > d.Limit - d.Written) {
        d.Failed = true;
        return;
    }
    uint8_t* to = d.Out + d.Written;
    const uint8_t* from = to - distance;
    for (uint64_t i = 0; i < length; ++i) to[i] = from[i];
    d.Written += length;
}

// Prefix 1: one literal of LiteralBits bits, offset by LiteralBase.
void DecodeLiteral(Decoder& d) {
    if (d.LiteralBits == 0) {  // no width chosen yet
        d.Failed = true;
        return;
    }
    PutByte(d, uint8_t(GetBits(d, d.LiteralBits) + d.LiteralBase));
}

// Prefix 01 with a gamma of 2: the last explicit distance again.
void DecodeRepeatMatch(Decoder& d) {
    const uint32_t length = GetGamma(d);
    if (!d.Failed) CopyMatch(d, d.LastOffset, length);
}

// Prefix 01 with a gamma of 3 or more: the distance's high part, then its
// IndexBits low bits, then the length less the distance's adjustment.
void DecodeLongMatch(Decoder& d, uint32_t gamma) {
    const uint64_t high = gamma - 3;
    const uint64_t low = GetBits(d, d.IndexBits);
    // Output never exceeds 32 bits, so a wider distance is damage.
    if (d.Failed || (d.IndexBits >= 32 && high != 0)) {
        d.Failed = true;
        return;
    }
    const uint64_t distance = high << d.IndexBits | low;
    if (distance > d.Written) {
        d.Failed = true;
        return;
    }
    d.LastOffset = uint32_t(distance);
    const uint32_t length = GetGamma(d);
    if (!d.Failed) CopyMatch(d, distance, uint64_t(length) + LongMatchAdjustment(distance));
}

void DecodeMatch(Decoder& d) {
    const uint32_t gamma = GetGamma(d);
    if (d.Failed) return;
    if (gamma == 2) DecodeRepeatMatch(d);
    else DecodeLongMatch(d, gamma);
}

// Prefix 000: a short match, the end code, or a new index width.
void DecodeShortMatch(Decoder& d) {
    const uint32_t offset = uint32_t(GetBits(d, 7));
    const uint32_t n = uint32_t(GetBits(d, 2));
    if (d.Failed) return;
    if (offset != 0) {
        CopyMatch(d, offset, n + 2);
        d.LastOffset = offset;
    } else if (n == 0) {
        d.Ended = true;
    } else {
        d.IndexBits = int(GetBits(d, int(n) + 3));
    }
}

// 256 bytes of 8 bits each, then a 1 bit for every further block.
void DecodeRawBlocks(Decoder& d) {
    do {
        for (int i = 0; i < 256 && !d.Failed; ++i) PutByte(d, uint8_t(GetBits(d, 8)));
    } while (!d.Failed && GetBit(d));
}

void DecodeLiteralWidth(Decoder& d) {
    if (GetBit(d)) {
        d.LiteralBits = 8;
        d.LiteralBase = 0;
    } else {
        d.LiteralBits = 7;
        d.LiteralBase = uint8_t(GetBits(d, 8));
    }
}

// Prefix 001: a zero byte, a one-byte copy from close by, raw blocks or a
// literal-width code.
void DecodeNearCode(Decoder& d) {
    const uint32_t v = uint32_t(GetBits(d, 4));
    if (d.Failed) return;
    if (v == 1) PutByte(d, 0);
    else if (v >= 2) CopyMatch(d, v - 1, 1);
    else if (GetBit(d)) DecodeRawBlocks(d);
    else DecodeLiteralWidth(d);
}

void DecodeCode(Decoder& d) {
    if (GetBit(d)) DecodeLiteral(d);
    else if (GetBit(d)) DecodeMatch(d);
    else if (GetBit(d)) DecodeNearCode(d);
    else DecodeShortMatch(d);
}

void AddChecksumWord(uint32_t* sum, uint32_t w) {
    *sum += w;
    *sum ^= ((w << 1) | (w >> 31)) + 1;
}

}  // namespace

uint32_t LongMatchAdjustment(uint64_t distance) {
    if (distance < 0x80) return 4;
    if (distance < 0x27F) return 0;
    if (distance < 0x37FF) return 1;
    if (distance < 0x10000) return 2;
    return 3;
}

uint32_t PackedChecksum(const uint8_t* data, size_t size) {
    uint32_t sum = 0;
    if (size < 4) return 0;
    size_t pos = 0;
    for (; size - pos >= 4; pos += 4) AddChecksumWord(&sum, ReadLe32(data + pos));
    // One to three bytes left: the last four bytes once more, overlapping.
    if (pos < size) AddChecksumWord(&sum, ReadLe32(data + size - 4));
    return sum;
}

uint32_t PackedImageSize(const uint8_t* packed, size_t packedSize) {
    if (packed == nullptr || packedSize < PackedHeaderSize || packed[0] != PackedMagic[0] ||
        packed[1] != PackedMagic[1])
        return 0;
    return ReadLe32(packed + kSizeOffset);
}

uint32_t UnpackImage(const uint8_t* packed, size_t packedSize, uint8_t* out, size_t outCapacity) {
    // A wrong magic gives 0; so does an empty image, whose size would read as failure anyway.
    const uint32_t unpackedSize = PackedImageSize(packed, packedSize);
    if (unpackedSize == 0 || unpackedSize > outCapacity || out == nullptr) return 0;
    Decoder d;
    d.Source = packed + PackedHeaderSize;
    d.SourceEnd = d.Source + ((packedSize - PackedHeaderSize) & ~size_t(3));
    d.Out = out;
    d.Limit = unpackedSize;
    while (!d.Failed && !d.Ended) DecodeCode(d);
    // A stream that stops short of the header's size would leave the checksum
    // reading bytes that were never written: treat it as damaged too.
    if (d.Failed || d.Written != unpackedSize) return 0;
    const uint32_t storedChecksum = ReadLe32(packed + kChecksumOffset);
    if (storedChecksum != 0 && PackedChecksum(out, unpackedSize) != storedChecksum) return 0;
    return unpackedSize;
}

bool SheetPixelLayout(const uint8_t* payload, uint32_t payloadSize, int32_t* width,
                      int32_t* height) {
    if (payload == nullptr || payloadSize < 8) return false;
    const uint32_t w = ReadLe32(payload);
    const uint32_t h = ReadLe32(payload + 4);
    if (w == 0 || h == 0 || w > 0x7FFFFFFFu || h > 0x7FFFFFFFu) return false;
    if (uint64_t(w) * h * 3 + 8 != payloadSize) return false;
    if (width) *width = int32_t(w);
    if (height) *height = int32_t(h);
    return true;
}

void CopySheetPixels(const uint8_t* payload, uint32_t payloadSize, uint8_t* pixels,
                     size_t pixelsSize) {
    if (pixels == nullptr) return;
    std::memset(pixels, 0, pixelsSize);
    int32_t width = 0, height = 0;
    if (!SheetPixelLayout(payload, payloadSize, &width, &height)) return;
    size_t count = size_t(payloadSize) - 8;
    if (count > pixelsSize) count = pixelsSize;
    // Rows keep the bitmap stride; the payload simply runs out before the last
    // (top) row is full, and the memset above supplies the missing bytes.
    std::memcpy(pixels, payload + 8, count);
}
