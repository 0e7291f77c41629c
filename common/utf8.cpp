#include "common/utf8.h"

size_t ReadUtf8(const uint8_t* bytes, size_t count, uint32_t* c) {
    if (count == 0) return 0;
    const uint8_t lead = bytes[0];
    if (lead < 0x80) {
        *c = lead;
        return 1;
    }
    // The second byte's range is narrower after the leads where a wider one
    // would allow an overlong form (E0, F0), a surrogate (ED) or a code
    // point past U+10FFFF (F4).
    size_t length = 0;
    uint8_t low = 0x80, high = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) length = 2;
    else if (lead >= 0xE0 && lead <= 0xEF) length = 3, low = lead == 0xE0 ? 0xA0 : 0x80, high = lead == 0xED ? 0x9F : 0xBF;
    else if (lead >= 0xF0 && lead <= 0xF4) length = 4, low = lead == 0xF0 ? 0x90 : 0x80, high = lead == 0xF4 ? 0x8F : 0xBF;
    if (length == 0 || length > count || bytes[1] < low || bytes[1] > high) return 0;
    uint32_t value = lead & (0x7F >> length);
    for (size_t i = 1; i < length; ++i) {
        if (i > 1 && (bytes[i] < 0x80 || bytes[i] > 0xBF)) return 0;
        value = (value << 6) | (bytes[i] & 0x3F);
    }
    *c = value;
    return length;
}

size_t WriteUtf8(uint32_t c, char bytes[4]) {
    if (c < 0x80) {
        bytes[0] = static_cast<char>(c);
        return 1;
    }
    const size_t tail = c < 0x800 ? 1 : c < 0x10000 ? 2 : 3;
    static const unsigned char kLead[] = {0, 0xC0, 0xE0, 0xF0};
    bytes[0] = static_cast<char>(kLead[tail] | (c >> (6 * tail)));
    for (size_t i = 1; i <= tail; ++i) bytes[i] = static_cast<char>(0x80 | ((c >> (6 * (tail - i))) & 0x3F));
    return tail + 1;
}
