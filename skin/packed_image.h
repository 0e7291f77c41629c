// Decoder for PackedImage, the packed sprite-sheet container ("JC" header +
// LZ bit stream), and the helpers that turn its payload into a bottom-up
// 24-bit pixel buffer.
#ifndef ZENTRIK_SKIN_PACKED_IMAGE_H
#define ZENTRIK_SKIN_PACKED_IMAGE_H

#include <cstddef>
#include <cstdint>

// Size of the container header in front of the bit stream, and its first two
// bytes, "JC".
const size_t PackedHeaderSize = 10;
constexpr uint8_t PackedMagic[2] = {0x4A, 0x43};

// Unpacked size from the header, or 0 when the bytes are missing or the magic is wrong.
uint32_t PackedImageSize(const uint8_t* packed, size_t packedSize);

// Decodes the stream into out. Returns the number of bytes written (the unpacked
// size) or 0 for a wrong magic, a damaged stream, a too small buffer or a checksum
// mismatch. Never reads or writes outside the given buffers.
uint32_t UnpackImage(const uint8_t* packed, size_t packedSize, uint8_t* out, size_t outCapacity);

// What a long match adds to its coded length, by distance: short distances
// never code the shortest lengths. The packer codes lengths with the same rule.
uint32_t LongMatchAdjustment(uint64_t distance);

// Additive/rotating checksum over the unpacked bytes; 0 for fewer than 4 bytes.
uint32_t PackedChecksum(const uint8_t* data, size_t size);

// Reads width and height from the payload; true only when
// width * height * 3 + 8 equals the payload size.
bool SheetPixelLayout(const uint8_t* payload, uint32_t payloadSize, int32_t* width, int32_t* height);

// Copies the payload pixels to the start of a height * stride buffer
// (stride = width * 3 rounded up to 4) and zero-fills whatever the payload lacks.
void CopySheetPixels(const uint8_t* payload, uint32_t payloadSize, uint8_t* pixels, size_t pixelsSize);

#endif
