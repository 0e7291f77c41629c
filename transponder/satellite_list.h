// Reading the satellite list file's bytes: the names for the drop-down list
// and one entry's transponder. Byte-level, no platform calls; nothing is ever
// read outside the given bytes.
#pragma once
#include <cstddef>
#include <cstdint>

#include "transponder/transponder.h"

// Calls addItem once per ']' with the name collected since the last '[',
// filled with spaces to 64 characters when shorter. A name of 256 characters
// or more keeps its first 255: the 8-bit length stops there instead of
// wrapping round and overwriting the start of the buffer.
void ListSatelliteNames(const uint8_t* data, size_t size,
                        void (*addItem)(void* context, const char* text, size_t length),
                        void* context);

enum EntryCheck { EntryOk, EntryFrequencyBad, EntrySymbolRateBad, EntryMissing };

// Reads entry `index` (the name after the index-th ';', the value after its
// ']') into the Transponder and the 32-character caption, which are written
// as they are read, before the range checks.
// EntryMissing when the data cannot hold the entry: a negative index (nothing
// is touched), fewer ';' than the index, no ']' before the end, or fewer than
// 11 bytes after the separator. The Transponder is then left unchanged; the
// caption has been blanked and may hold the name bytes passed over, but the
// caller shows it only after EntryOk.
EntryCheck ReadSatelliteEntryBytes(const uint8_t* data, size_t size, int32_t index,
                                   Transponder* transponder, char caption[32]);
