#include "transponder/satellite_list.h"

#include <cstring>

namespace {

constexpr size_t kNameCapacity = 256;
constexpr size_t kItemWidth = 64;
constexpr int kValueWindow = 11;
constexpr size_t kFieldCapacity = 8;

struct Field {
    char Chars[kFieldCapacity];
    size_t Count = 0;
};

// Characters beyond the field's eight are dropped; the range check decides.
void Append(Field* field, char c) {
    if (field->Count < kFieldCapacity) field->Chars[field->Count++] = c;
}

// Offset of the first byte of entry `index`'s name, or size when the file
// holds no such entry.
size_t NameStart(const uint8_t* data, size_t size, int32_t index) {
    if (index == 0) return 1;
    int32_t seen = 0;
    for (size_t i = 0; i < size; ++i) {
        if (data[i] == ';' && ++seen == index) return i + 4;  // ';', CR, LF, '['
    }
    return size;
}

}  // namespace

void ListSatelliteNames(const uint8_t* data, size_t size,
                        void (*addItem)(void* context, const char* text, size_t length),
                        void* context) {
    // The name buffer holds 255 characters with an 8-bit length: a longer name
    // keeps its first 255 characters instead of wrapping the length round.
    char name[kNameCapacity];
    size_t length = 0;
    bool collecting = true;
    for (size_t i = 0; i < size; ++i) {
        const char byte = static_cast<char>(data[i]);
        if (byte == ']') {
            char item[kNameCapacity];
            memcpy(item, name, length);
            size_t itemLength = length;
            if (itemLength < kItemWidth) {
                memset(item + itemLength, ' ', kItemWidth - itemLength);
                itemLength = kItemWidth;
            }
            addItem(context, item, itemLength);
            collecting = false;
        } else if (collecting && length < kNameCapacity - 1) {
            name[length++] = byte;
        }
        if (byte == '[') {
            length = 0;
            collecting = true;
        }
    }
}

EntryCheck ReadSatelliteEntryBytes(const uint8_t* data, size_t size, int32_t index,
                                   Transponder* transponder, char caption[32]) {
    if (index < 0) return EntryMissing;
    memset(caption, ' ', 32);
    size_t at = NameStart(data, size, index);
    for (size_t copied = 0; at < size && data[at] != ']'; ++at, ++copied) {
        if (copied < 32) caption[copied] = static_cast<char>(data[at]);
    }
    if (at >= size) return EntryMissing;  // the entry ends before its ']'
    at += 2;                              // ']' and the separator
    if (at > size || size - at < kValueWindow) return EntryMissing;

    Field frequency, symbolRate;
    bool inFrequency = true;
    for (int i = 0; i < kValueWindow; ++i) {
        const char c = static_cast<char>(data[at + i]);
        if (inFrequency) {
            if (c >= '0' && c <= '9') {
                Append(&frequency, c);
                continue;
            }
            transponder->Polarisation = (c == 'h' || c == 'H') ? 0 : (c == 'v' || c == 'V') ? 1 : 3;
            inFrequency = false;
        } else if (c != ';') {
            Append(&symbolRate, c);
        }
    }
    transponder->Frequency = ConvertField(frequency.Chars, frequency.Count);
    const int32_t f = transponder->Frequency;
    if (!InCBand(f) && !InKuBand(f)) return EntryFrequencyBad;
    transponder->SymbolRate = ConvertField(symbolRate.Chars, symbolRate.Count);
    if (!SymbolRateInRange(transponder->SymbolRate)) return EntrySymbolRateBad;
    return EntryOk;
}
