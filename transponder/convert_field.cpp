#include "transponder/transponder.h"

namespace {
bool IsWhiteSpace(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f';
}
}  // namespace

int32_t ConvertField(const char* chars, size_t count) {
    size_t i = 0;
    while (i < count && IsWhiteSpace(chars[i])) ++i;
    bool negative = false;
    if (i < count && (chars[i] == '+' || chars[i] == '-')) negative = chars[i++] == '-';
    int64_t value = 0;
    for (; i < count && chars[i] >= '0' && chars[i] <= '9'; ++i) {
        value = value * 10 + (chars[i] - '0');
        if (value > INT32_MAX) value = static_cast<int64_t>(INT32_MAX) + 1;  // saturate
    }
    if (negative) value = -value;
    if (value > INT32_MAX) value = INT32_MAX;
    return static_cast<int32_t>(value);
}
