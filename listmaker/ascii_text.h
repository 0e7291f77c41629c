// The ASCII pieces the list maker's readers share: digits read into a number,
// and a word compared without regard to case.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string_view>

inline bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// Decimal digits from *at on, *at moved past them; false unless there is at
// least one. Past any real number the value stops growing, so a long run of
// digits never overflows and the ranges that read it refuse it.
bool ReadDigits(std::string_view text, size_t* at, int64_t* value);

// Whether the text is `lower` (small ASCII letters) in any case of its ASCII
// letters.
bool SameLetters(std::string_view text, std::string_view lower);
