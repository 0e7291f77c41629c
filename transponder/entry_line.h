// The typed transponder line and its parse; byte-level, no platform calls.
#pragma once
#include <cstddef>
#include <cstdint>

#include "transponder/transponder.h"

constexpr int kEntryLength = 13;

// Invariant: the characters before Position are typed ones, the rest spaces.
struct EntryLine {
    char Text[kEntryLength + 1] = {' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', '\0'};
    int16_t Position = 0;  // 0 to 13; -1 only for one step while erasing
};

// Stores c at the position (from -1 it first goes back to 0) and advances
// unless keepPosition is set. Returns how many characters the redraw shows,
// or 0 when the line was full and nothing was stored.
int PutEntryChar(EntryLine* line, char c, bool keepPosition);
// Steps the position back by one; 0 becomes -1 until the next PutEntryChar.
void StepBackEntry(EntryLine* line);
void BlankEntryLine(EntryLine* line);
// Copies the default line: the bytes before the last ';' among the first 13.
void LoadDefaultEntryBytes(EntryLine* line, const uint8_t* bytes, size_t size);
// Checks the line; on success fills the Transponder and the 32-character
// caption. Frequency, DiSEqC code and symbol rate are stored as they are read,
// so a refused line can leave them changed.
StartResult ParseEntryLineText(const char text[kEntryLength], Transponder* transponder,
                               char caption[32]);
