// DVB service information text (ETSI EN 300 468, Annex A) as UTF-8: the
// character table its first bytes select, the default being ISO/IEC 6937
// with the euro sign. Control codes and NULs are left out; a table this
// reader does not know shows its printable ASCII and '?' for the rest.
#pragma once
#include <cstddef>
#include <cstdint>

// Writes the text of bytes[0..count) into text (size bytes, terminated),
// cut at a character boundary when it does not fit. Returns its length.
size_t DecodeDvbText(const uint8_t* bytes, size_t count, char* text, size_t size);
