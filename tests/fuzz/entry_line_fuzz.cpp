// libFuzzer target: any 13 characters must parse or be refused without
// reading past the line, and an accepted line must be a sound transponder.
// The same bytes also drive the line editor and the default-line loader.
#include <cstdint>
#include <cstring>
#include <vector>

#include "transponder/entry_line.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < static_cast<size_t>(kEntryLength)) return 0;
    std::vector<char> text(data, data + kEntryLength);  // exactly 13, no terminator
    Transponder t{-1, -1, -1, -1};
    char caption[32];
    memset(caption, '#', sizeof caption);
    const StartResult result = ParseEntryLineText(text.data(), &t, caption);
    if (result == Accepted) {
        const bool fourDigits = text[4] == 'H' || text[4] == 'V';
        if (fourDigits ? (t.Frequency < 3400 || t.Frequency > 4200) : (t.Frequency < 10700 || t.Frequency > 15000))
            __builtin_trap();
        if (t.SymbolRate < 1000 || t.SymbolRate > 45000) __builtin_trap();
        if (t.Diseqc < 0 || t.Diseqc > 6) __builtin_trap();
        if (t.Polarisation != 0 && t.Polarisation != 1) __builtin_trap();
        for (int i = 0; i < 32; ++i) {
            const char expected = (i >= 8 && i < 8 + kEntryLength) ? text[i - 8] : ' ';
            if (caption[i] != expected) __builtin_trap();
        }
    } else if (result != Rejected) {
        __builtin_trap();
    } else {
        if (t.Polarisation != -1 || caption[0] != '#') __builtin_trap();
    }

    // The remaining bytes as edits: even bytes type, odd ones erase.
    EntryLine line;
    std::vector<uint8_t> rest(data + kEntryLength, data + size);
    LoadDefaultEntryBytes(&line, rest.empty() ? nullptr : rest.data(), rest.size());
    for (uint8_t b : rest) {
        if (b & 1) {
            StepBackEntry(&line);
            PutEntryChar(&line, ' ', true);
        } else {
            const int16_t before = line.Position;
            const int shown = PutEntryChar(&line, static_cast<char>(b), (b & 2) != 0);
            if (shown != (before >= kEntryLength ? 0 : before + 1)) __builtin_trap();
        }
        if (line.Position < 0 || line.Position > kEntryLength || line.Text[kEntryLength] != '\0') __builtin_trap();
    }
    return 0;
}
