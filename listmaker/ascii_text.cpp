#include "listmaker/ascii_text.h"

namespace {

constexpr int64_t kHuge = 1000000000000000;

}  // namespace

bool ReadDigits(std::string_view text, size_t* at, int64_t* value) {
    const size_t start = *at;
    *value = 0;
    for (; *at < text.size() && IsDigit(text[*at]); ++*at)
        if (*value < kHuge) *value = *value * 10 + (text[*at] - '0');
    return *at > start;
}

bool SameLetters(std::string_view text, std::string_view lower) {
    if (text.size() != lower.size()) return false;
    for (size_t i = 0; i < text.size(); ++i)
        if (((text[i] >= 'A' && text[i] <= 'Z') ? text[i] | 0x20 : text[i]) != lower[i]) return false;
    return true;
}
