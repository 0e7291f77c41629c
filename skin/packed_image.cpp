#include "skin/packed_image.h"

#include <cstring>

namespace {

// Everything one UnpackImage call needs; a damaged stream only sets Failed,
// the main loop then stops at the next code.
struct UnpackState {
    const uint8_t* Source;     // next whole 32-bit word of the stream
    const uint8_t* SourceEnd;  // end of the last whole word
    uint8_t* Dest;             // start of the output
    uint64_t Written;          // bytes written so far
    uint64_t Limit;            // unpacked size from the header
    uint32_t BitWord;          // current word, next bit in bit 31
    int BitCount;              // bits of BitWord not yet taken
    bool Failed;
};

uint32_t ReadLe32(const uint8_t* p)
{
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

unsigned GetBit(UnpackState* s)
{
    if (s->BitCount == 0) {
        // A trailing partial word cannot hold a code: running into it means the
        // end code is missing.
        if (s->SourceEnd - s->Source < 4) {
            s->Failed = true;
            return 0;
        }
        s->BitWord = ReadLe32(s->Source);
        s->Source += 4;
        s->BitCount = 32;
    }
    unsigned bit = s->BitWord >> 31;
    s->BitWord <<= 1;
    s->BitCount--;
    return bit;
}

// Up to 63 bits: an index-width code can ask for that many low offset bits.
uint64_t GetBits(UnpackState* s, int count)
{
    uint64_t value = 0;
    for (int i = 0; i < count && !s->Failed; i++)
        value = value * 2 + GetBit(s);
    return value;
}

// Interleaved gamma number, smallest value 2. Values that cannot fit 32 bits
// never come from a sound stream and are refused.
uint32_t GetGamma(UnpackState* s)
{
    uint32_t value = 1;
    do {
        if (value >= 0x80000000u) {
            s->Failed = true;
            return 0;
        }
        value = value * 2 + GetBit(s);
    } while (GetBit(s) && !s->Failed);
    return value;
}

void PutByte(UnpackState* s, uint8_t b)
{
    if (s->Written >= s->Limit) {
        s->Failed = true;
        return;
    }
    s->Dest[s->Written++] = b;
}

// Byte by byte and in increasing order, so an overlapping match repeats its
// own output.
void CopyMatch(UnpackState* s, uint64_t distance, uint64_t length)
{
    if (distance == 0 || distance > s->Written || length > s->Limit - s->Written) {
        s->Failed = true;
        return;
    }
    uint8_t* d = s->Dest + s->Written;
    const uint8_t* from = d - distance;
    for (uint64_t i = 0; i < length; i++)
        d[i] = from[i];
    s->Written += length;
}

uint32_t LongMatchAdjustment(uint64_t distance)
{
    if (distance < 0x80) return 4;
    if (distance < 0x27F) return 0;
    if (distance < 0x37FF) return 1;
    if (distance < 0x10000) return 2;
    return 3;
}

}  // namespace

uint32_t PackedChecksum(const uint8_t* data, size_t size)
{
    uint32_t sum = 0;
    if (size < 4)
        return 0;
    size_t pos = 0;
    for (; size - pos >= 4; pos += 4) {
        uint32_t w = ReadLe32(data + pos);
        sum += w;
        sum ^= ((w << 1) | (w >> 31)) + 1;
    }
    if (pos < size) {
        uint32_t w = ReadLe32(data + size - 4);
        sum += w;
        sum ^= ((w << 1) | (w >> 31)) + 1;
    }
    return sum;
}

uint32_t PackedImageSize(const uint8_t* packed, size_t packedSize)
{
    if (packed == nullptr || packedSize < PackedHeaderSize || packed[0] != 0x4A || packed[1] != 0x43)
        return 0;
    return ReadLe32(packed + 2);
}

uint32_t UnpackImage(const uint8_t* packed, size_t packedSize, uint8_t* out, size_t outCapacity)
{
    if (packed == nullptr || packedSize < PackedHeaderSize || packed[0] != 0x4A || packed[1] != 0x43)
        return 0;
    uint32_t unpackedSize = ReadLe32(packed + 2);
    uint32_t storedChecksum = ReadLe32(packed + 6);
    if (unpackedSize > outCapacity || (unpackedSize > 0 && out == nullptr))
        return 0;

    size_t streamBytes = (packedSize - PackedHeaderSize) & ~size_t(3);
    UnpackState s;
    s.Source = packed + PackedHeaderSize;
    s.SourceEnd = s.Source + streamBytes;
    s.Dest = out;
    s.Written = 0;
    s.Limit = unpackedSize;
    s.BitWord = 0;
    s.BitCount = 0;
    s.Failed = false;

    uint32_t lastOffset = 1;
    int indexBits = 8;
    int literalBits = 0;  // 0: no literal-width code seen yet
    uint8_t literalBase = 0;

    while (!s.Failed) {
        if (GetBit(&s)) {
            if (literalBits == 0) {
                s.Failed = true;
                break;
            }
            uint64_t v = GetBits(&s, literalBits);
            PutByte(&s, uint8_t(v + literalBase));
        } else if (GetBit(&s)) {
            uint32_t g = GetGamma(&s);
            if (s.Failed) break;
            if (g == 2) {
                uint32_t length = GetGamma(&s);
                if (s.Failed) break;
                CopyMatch(&s, lastOffset, length);
            } else {
                uint64_t low = GetBits(&s, indexBits);
                uint64_t high = g - 3;
                // Output never exceeds 32 bits, so a wider distance is damage.
                if (indexBits >= 32 && high != 0) {
                    s.Failed = true;
                    break;
                }
                uint64_t distance = (high << indexBits) | low;
                if (distance > s.Written) {
                    s.Failed = true;
                    break;
                }
                lastOffset = uint32_t(distance);
                uint32_t length = GetGamma(&s);
                if (s.Failed) break;
                CopyMatch(&s, distance, uint64_t(length) + LongMatchAdjustment(distance));
            }
        } else if (!GetBit(&s)) {
            uint32_t o = uint32_t(GetBits(&s, 7));
            uint32_t n = uint32_t(GetBits(&s, 2));
            if (s.Failed) break;
            if (o != 0) {
                CopyMatch(&s, o, n + 2);
                lastOffset = o;
            } else if (n == 0) {
                break;  // end code
            } else {
                indexBits = int(GetBits(&s, int(n) + 3));
            }
        } else {
            uint32_t v = uint32_t(GetBits(&s, 4));
            if (s.Failed) break;
            if (v == 1) {
                PutByte(&s, 0);
            } else if (v >= 2) {
                CopyMatch(&s, v - 1, 1);
            } else if (GetBit(&s)) {
                do {
                    for (int i = 0; i < 256 && !s.Failed; i++)
                        PutByte(&s, uint8_t(GetBits(&s, 8)));
                } while (!s.Failed && GetBit(&s));
            } else if (GetBit(&s)) {
                literalBits = 8;
                literalBase = 0;
            } else {
                literalBits = 7;
                literalBase = uint8_t(GetBits(&s, 8));
            }
        }
    }
    // A stream that stops short of the header's size would leave the checksum
    // reading bytes that were never written: treat it as damaged too.
    if (s.Failed || s.Written != unpackedSize)
        return 0;
    if (storedChecksum != 0 && PackedChecksum(out, unpackedSize) != storedChecksum)
        return 0;
    return unpackedSize;
}

bool SheetPixelLayout(const uint8_t* payload, uint32_t payloadSize, int32_t* width, int32_t* height)
{
    if (payload == nullptr || payloadSize < 8)
        return false;
    uint32_t w = ReadLe32(payload);
    uint32_t h = ReadLe32(payload + 4);
    if (w == 0 || h == 0 || w > 0x7FFFFFFFu || h > 0x7FFFFFFFu)
        return false;
    if (uint64_t(w) * h * 3 + 8 != payloadSize)
        return false;
    if (width) *width = int32_t(w);
    if (height) *height = int32_t(h);
    return true;
}

void CopySheetPixels(const uint8_t* payload, uint32_t payloadSize, uint8_t* pixels, size_t pixelsSize)
{
    if (pixels == nullptr)
        return;
    std::memset(pixels, 0, pixelsSize);
    int32_t width = 0, height = 0;
    if (!SheetPixelLayout(payload, payloadSize, &width, &height))
        return;
    size_t count = size_t(payloadSize) - 8;
    if (count > pixelsSize)
        count = pixelsSize;
    // Rows keep the bitmap stride; the payload simply runs out before the last
    // (top) row is full, and the memset above supplies the missing bytes.
    std::memcpy(pixels, payload + 8, count);
}
