// The satellite list is single-byte ASCII text: names from the data keep
// their letters without accents and lose what has no ASCII form.
#pragma once
#include <string>
#include <string_view>
#include <cstdint>

// The code point at `at` of valid UTF-8 text, and its length in bytes.
uint32_t Utf8CodeAt(std::string_view text, size_t at, size_t* length);

// Appends the ASCII form of UTF-8 text (valid UTF-8, as the XML reader
// hands it over): printable ASCII as it is, every other character as its
// compatibility decomposition's printable ASCII characters, or nothing.
void AppendAsciiFold(std::string_view utf8, std::string* out);
