// Encoder for the packed sprite-sheet container, used when building the resource.
#ifndef ZENTRIK_TOOLS_PACKER_PACK_STREAM_H
#define ZENTRIK_TOOLS_PACKER_PACK_STREAM_H

#include <cstddef>
#include <cstdint>
#include <vector>

// Whole container: "JC", unpacked size, checksum, bit stream (optimal parse).
std::vector<uint8_t> PackImage(const uint8_t* data, size_t size);

#endif
