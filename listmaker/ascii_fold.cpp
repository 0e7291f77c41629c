#include "listmaker/ascii_fold.h"

#include <algorithm>
#include <cstdint>

#include "common/utf8.h"

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

void AppendAsciiFold(std::string_view utf8, std::string* out) {
    for (size_t at = 0; at < utf8.size();) {
        uint32_t code = 0;
        const size_t length = ReadUtf8(utf8, at, &code);
        at += length ? length : 1;  // a byte that starts no character has no form
        if (length == 0) continue;
        if (code >= 0x20 && code < 0x7F) out->push_back(static_cast<char>(code));
        else if (code >= 0x80) AppendFolded(code, out);
    }
}
