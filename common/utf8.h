// UTF-8 as the program reads it, one well-formed character at a time: no
// overlong form, no surrogate, nothing past U+10FFFF. The broadcast's UTF-8
// names and the phone display's JSON are both read through it. Free of
// windows.h.
#pragma once
#include <cstddef>
#include <cstdint>

// The character at the start of bytes[0..count): its length in bytes (1 to
// 4), with its code point in *c; 0 when no well-formed character starts there.
size_t ReadUtf8(const uint8_t* bytes, size_t count, uint32_t* c);
