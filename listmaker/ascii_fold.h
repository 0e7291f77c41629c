// The satellite list is single-byte ASCII text: names from the data keep
// their letters without accents and lose what has no ASCII form.
#pragma once
#include <string>
#include <string_view>

// Appends the ASCII form of UTF-8 text (valid UTF-8, as the XML reader
// hands it over): printable ASCII as it is, every other character as its
// compatibility decomposition's printable ASCII characters, or nothing.
void AppendAsciiFold(std::string_view utf8, std::string* out);
