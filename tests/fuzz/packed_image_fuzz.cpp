// libFuzzer target: any byte string must decode or be refused without touching
// memory outside the packed input and the bounded output buffer.
#include <cstdint>
#include <vector>

#include "skin/packed_image.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const size_t Capacity = 1 << 16;
    std::vector<uint8_t> packed(data, data + size);  // exact-size copy so ASan sees overreads
    std::vector<uint8_t> out(Capacity);
    uint32_t n = UnpackImage(packed.data(), packed.size(), out.data(), out.size());
    if (n != 0 && n != PackedImageSize(packed.data(), packed.size()))
        __builtin_trap();
    return 0;
}
