// libFuzzer target: any list file and any selection must be walked and read
// without touching a byte outside the file, and whatever is accepted must be
// a transponder the tuner can be given.
#include <cstdint>
#include <cstring>
#include <vector>

#include "transponder/satellite_list.h"

namespace {

void CheckItem(void*, const char* text, size_t length) {
    // Short names are padded to 64; long ones are kept to the name buffer.
    if (length < 64 || length > 255) __builtin_trap();
    volatile char last = text[length - 1];
    (void)last;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) return 0;
    // The first byte picks the selection; 255 takes a full 32-bit one from the
    // next four bytes, so that negative and huge selections come up too.
    int32_t index = data[0];
    size_t skip = 1;
    if (data[0] == 255 && size >= 5) {
        uint32_t raw;
        memcpy(&raw, data + 1, 4);
        index = static_cast<int32_t>(raw);
        skip = 5;
    }
    std::vector<uint8_t> file(data + skip, data + size);  // exact size, so ASan sees overreads
    const uint8_t* bytes = file.empty() ? nullptr : file.data();

    ListSatelliteNames(bytes, file.size(), CheckItem, nullptr);

    const Transponder start{-1, -1, -1, -1};
    Transponder t = start;
    char caption[32];
    memset(caption, '#', sizeof caption);
    const EntryCheck check = ReadSatelliteEntryBytes(bytes, file.size(), index, &t, caption);
    if (t.Diseqc != start.Diseqc) __builtin_trap();
    switch (check) {
    case EntryOk:
        if (!((t.Frequency >= 3400 && t.Frequency <= 4200) || (t.Frequency >= 10700 && t.Frequency <= 15000)))
            __builtin_trap();
        if (t.SymbolRate < 1000 || t.SymbolRate > 45000) __builtin_trap();
        if (t.Polarisation != 0 && t.Polarisation != 1 && t.Polarisation != 3) __builtin_trap();
        break;
    case EntryFrequencyBad:
        if (t.SymbolRate != start.SymbolRate) __builtin_trap();
        break;
    case EntrySymbolRateBad:
        break;
    case EntryMissing:
        if (memcmp(&t, &start, sizeof t) != 0) __builtin_trap();
        break;
    }
    return 0;
}
