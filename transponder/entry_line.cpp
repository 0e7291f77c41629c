#include "transponder/entry_line.h"

#include <cstring>

namespace {

bool IsPolarisation(char c) { return c == 'H' || c == 'V'; }
bool IsDiseqcStart(char c) { return c == ' ' || c == 'A' || c == 'B'; }

// The DiSEqC code of the one or two letters at the end of the line; -1 when
// the pair is not one of the table's.
int32_t DiseqcCode(char first, char second) {
    if (first == ' ') return 0;
    if (second == ' ') return first == 'A' ? 1 : 2;
    if (second == 'A') return first == 'A' ? 3 : 4;
    if (second == 'B') return first == 'A' ? 5 : 6;
    return -1;
}

}  // namespace

int PutEntryChar(EntryLine* line, char c, bool keepPosition) {
    if (line->Position >= kEntryLength) return 0;
    if (line->Position < 0) line->Position = 0;
    line->Text[line->Position] = c;
    const int shown = line->Position + 1;
    if (!keepPosition) ++line->Position;
    return shown;
}

void StepBackEntry(EntryLine* line) { --line->Position; }

void BlankEntryLine(EntryLine* line) {
    memset(line->Text, ' ', kEntryLength);
    line->Text[kEntryLength] = '\0';
    line->Position = 0;
}

void LoadDefaultEntryBytes(EntryLine* line, const uint8_t* bytes, size_t size) {
    if (!bytes) return;
    const size_t examined = size < kEntryLength ? size : kEntryLength;
    for (size_t p = examined; p-- > 0;) {
        if (bytes[p] != ';') continue;
        memcpy(line->Text, bytes, p);
        line->Position = static_cast<int16_t>(p);
        return;
    }
}

StartResult ParseEntryLineText(const char text[kEntryLength], Transponder* transponder,
                               char caption[32]) {
    // Form: the letter stands after four (C band) or after five (Ku band)
    // frequency digits.
    int letter;
    if (IsPolarisation(text[4])) letter = 4;
    else if (IsPolarisation(text[5])) letter = 5;
    else return Rejected;

    transponder->Frequency = ConvertField(text, letter);
    const int32_t f = transponder->Frequency;
    if (letter == 4 ? !InCBand(f) : !InKuBand(f)) return Rejected;

    // The DiSEqC letters follow a four- or five-digit symbol rate.
    int d;
    if (IsDiseqcStart(text[letter + 5])) d = letter + 5;
    else if (IsDiseqcStart(text[letter + 6])) d = letter + 6;
    else return Rejected;

    const int32_t code = DiseqcCode(text[d], text[d + 1]);  // d is at most 11
    if (code < 0) return Rejected;
    transponder->Diseqc = code;

    transponder->SymbolRate = ConvertField(text + letter + 1, d - letter - 1);
    if (!SymbolRateInRange(transponder->SymbolRate)) return Rejected;

    transponder->Polarisation = text[4] == 'V' || text[5] == 'V' ? 1 : 0;
    memset(caption, ' ', 32);
    memcpy(caption + 8, text, kEntryLength);
    return Accepted;
}
