#include "identity/dvb_text.h"

#include "common/utf8.h"

namespace {

#include "identity/dvb_text_tables.inc"

// ISO/IEC 6937 with the euro sign at 0xA4, bytes 0xA0-0xFF; 0 where the
// code is unused, and the diacritic prefixes 0xC1-0xCF are read apart.
const uint16_t kLatinUpper[96] = {
    0x00A0, 0x00A1, 0x00A2, 0x00A3, 0x20AC, 0x00A5, 0x0000, 0x00A7,  // A0
    0x00A4, 0x2018, 0x201C, 0x00AB, 0x2190, 0x2191, 0x2192, 0x2193,  // A8
    0x00B0, 0x00B1, 0x00B2, 0x00B3, 0x00D7, 0x00B5, 0x00B6, 0x00B7,  // B0
    0x00F7, 0x2019, 0x201D, 0x00BB, 0x00BC, 0x00BD, 0x00BE, 0x00BF,  // B8
    0x0000, 0x0000, 0x0000, 0x0000, 0x0000, 0x0000, 0x0000, 0x0000,  // C0
    0x0000, 0x0000, 0x0000, 0x0000, 0x0000, 0x0000, 0x0000, 0x0000,  // C8
    0x2015, 0x00B9, 0x00AE, 0x00A9, 0x2122, 0x266A, 0x00AC, 0x00A6,  // D0
    0x0000, 0x0000, 0x0000, 0x0000, 0x215B, 0x215C, 0x215D, 0x215E,  // D8
    0x2126, 0x00C6, 0x0110, 0x00AA, 0x0126, 0x0000, 0x0132, 0x013F,  // E0
    0x0141, 0x00D8, 0x0152, 0x00BA, 0x00DE, 0x0166, 0x014A, 0x0149,  // E8
    0x0138, 0x00E6, 0x0111, 0x00F0, 0x0127, 0x0131, 0x0133, 0x0140,  // F0
    0x0142, 0x00F8, 0x0153, 0x00DF, 0x00FE, 0x0167, 0x014B, 0x00AD,  // F8
};

enum class Table { Latin, Iso8859, Utf8, Ucs2, Unknown };

struct Output {
    char* Text;
    size_t Size;
    size_t Length;
    bool Full;
};

// Appends one character; once one does not fit, nothing more is written.
void Put(Output* out, uint32_t c) {
    if (out->Full) return;
    if (c < 0x20 || c == 0x7F || (c >= 0x80 && c < 0xA0)) return;  // control codes
    if (c >= 0xE080 && c < 0xE0A0) return;  // the same codes as two-byte tables send them
    if ((c >= 0xD800 && c < 0xE000) || c > 0x10FFFF) c = '?';  // no character
    char bytes[4];
    const size_t n = WriteUtf8(c, bytes);
    if (out->Length + n + 1 > out->Size) {
        out->Full = true;
        return;
    }
    for (size_t i = 0; i < n; ++i) out->Text[out->Length++] = bytes[i];
}

// The table the text's first bytes select, and where its characters start.
Table SelectTable(const uint8_t* bytes, size_t count, size_t* start, int* part) {
    *start = 0;
    if (count == 0 || bytes[0] >= 0x20) return Table::Latin;
    *start = 1;
    if (bytes[0] >= 0x01 && bytes[0] <= 0x0B) {
        *part = bytes[0] + 4;
        return Table::Iso8859;
    }
    if (bytes[0] == 0x10) {
        *start = 3;
        if (count < 3 || bytes[1] != 0x00 || bytes[2] < 1 || bytes[2] > 15 || bytes[2] == 12) return Table::Unknown;
        *part = bytes[2];
        return Table::Iso8859;
    }
    if (bytes[0] == 0x11) return Table::Ucs2;
    if (bytes[0] == 0x15) return Table::Utf8;
    if (bytes[0] == 0x1F) *start = 2;  // encoding_type_id follows
    return Table::Unknown;
}

// A diacritic prefix over a letter: the precomposed character where
// Unicode has one, else the letter and the combining mark.
size_t PutDiacritic(Output* out, const uint8_t* bytes, size_t count, size_t i) {
    const int mark = bytes[i] - 0xC1;
    if (i + 1 >= count) return 1;  // a prefix with nothing to sit on
    const uint8_t base = bytes[i + 1];
    int letter = -1;
    if (base >= 'A' && base <= 'Z') letter = base - 'A';
    if (base >= 'a' && base <= 'z') letter = 26 + base - 'a';
    if (letter < 0) return 1;  // the next byte is read on its own
    if (kComposed[mark][letter] != 0) {
        Put(out, kComposed[mark][letter]);
    } else {
        Put(out, base);
        if (kDiacriticMarks[mark] != 0) Put(out, kDiacriticMarks[mark]);
    }
    return 2;
}

void DecodeLatin(Output* out, const uint8_t* bytes, size_t count, size_t i) {
    while (i < count) {
        const uint8_t b = bytes[i];
        if (b >= 0xC1 && b <= 0xCF) {
            i += PutDiacritic(out, bytes, count, i);
            continue;
        }
        if (b < 0xA0) Put(out, b);
        else if (kLatinUpper[b - 0xA0] != 0) Put(out, kLatinUpper[b - 0xA0]);
        else Put(out, '?');
        ++i;
    }
}

void DecodeIso8859(Output* out, const uint8_t* bytes, size_t count, size_t i, int part) {
    for (; i < count; ++i) {
        const uint8_t b = bytes[i];
        if (b < 0xA0) Put(out, b);
        else if (kIso8859Upper[part - 1][b - 0xA0] != 0) Put(out, kIso8859Upper[part - 1][b - 0xA0]);
        else Put(out, '?');
    }
}

// A byte that starts no well-formed character reads as '?'.
void DecodeUtf8(Output* out, const uint8_t* bytes, size_t count, size_t i) {
    while (i < count) {
        uint32_t c = '?';
        const size_t n = ReadUtf8(bytes + i, count - i, &c);
        Put(out, n ? c : '?');
        i += n ? n : 1;
    }
}

void DecodeUcs2(Output* out, const uint8_t* bytes, size_t count, size_t i) {
    for (; i + 1 < count; i += 2) Put(out, (static_cast<uint32_t>(bytes[i]) << 8) | bytes[i + 1]);
}

void DecodeUnknown(Output* out, const uint8_t* bytes, size_t count, size_t i) {
    for (; i < count; ++i) {
        const uint8_t b = bytes[i];
        if (b == 0) continue;
        Put(out, b >= 0x20 && b < 0x7F ? b : '?');
    }
}

}  // namespace

size_t DecodeDvbText(const uint8_t* bytes, size_t count, char* text, size_t size) {
    if (size == 0) return 0;
    Output out{text, size, 0, false};
    size_t start;
    int part = 0;
    const Table table = SelectTable(bytes, count, &start, &part);
    if (start > count) start = count;
    switch (table) {
        case Table::Latin: DecodeLatin(&out, bytes, count, start); break;
        case Table::Iso8859: DecodeIso8859(&out, bytes, count, start, part); break;
        case Table::Utf8: DecodeUtf8(&out, bytes, count, start); break;
        case Table::Ucs2: DecodeUcs2(&out, bytes, count, start); break;
        case Table::Unknown: DecodeUnknown(&out, bytes, count, start); break;
    }
    text[out.Length] = '\0';
    return out.Length;
}
