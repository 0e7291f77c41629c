// UTF-8 as the program reads and writes it, one well-formed character at a
// time: no overlong form, no surrogate, nothing past U+10FFFF. The
// broadcast's UTF-8 names, the phone display's JSON and a satellites.xml are
// all read through it. Free of windows.h.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string_view>

// The character at the start of bytes[0..count): its length in bytes (1 to
// 4), with its code point in *c; 0 when no well-formed character starts there.
size_t ReadUtf8(const uint8_t* bytes, size_t count, uint32_t* c);

// The same for the character at `at` of a text (at within it).
inline size_t ReadUtf8(std::string_view text, size_t at, uint32_t* c) {
    return ReadUtf8(reinterpret_cast<const uint8_t*>(text.data()) + at, text.size() - at, c);
}

// The bytes of a code point below U+110000 that is no surrogate; their count
// (1 to 4).
size_t WriteUtf8(uint32_t c, char bytes[4]);
