#include "listmaker/ascii_fold.h"

#include <algorithm>
#include <cstdint>

namespace {

#include "listmaker/ascii_fold_table.inc"

void AppendFolded(uint32_t code, std::string* out) {
    const uint32_t* end = kFoldCodes + sizeof kFoldCodes / sizeof kFoldCodes[0];
    const uint32_t* found = std::lower_bound(kFoldCodes, end, code);
    if (found == end || *found != code) return;
    const size_t index = static_cast<size_t>(found - kFoldCodes);
    out->append(kFoldText + kFoldStarts[index], kFoldStarts[index + 1] - kFoldStarts[index]);
}

}  // namespace

uint32_t Utf8CodeAt(std::string_view text, size_t at, size_t* length) {
    const auto lead = static_cast<unsigned char>(text[at]);
    *length = lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
    if (*length == 1) return lead;
    uint32_t code = lead & (0x7F >> *length);
    for (size_t i = 1; i < *length && at + i < text.size(); ++i)
        code = code << 6 | (static_cast<unsigned char>(text[at + i]) & 0x3F);
    return code;
}

void AppendAsciiFold(std::string_view utf8, std::string* out) {
    for (size_t at = 0, length = 0; at < utf8.size(); at += length) {
        const uint32_t code = Utf8CodeAt(utf8, at, &length);
        if (code >= 0x20 && code < 0x7F) out->push_back(static_cast<char>(code));
        else if (code >= 0x80) AppendFolded(code, out);
    }
}
