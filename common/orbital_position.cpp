#include "common/orbital_position.h"

#include <cstring>

namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// Written out by hand: the C runtime's formatting would take a sizeable share
// of the program's size for five characters.
bool WritePosition(int16_t position, const char sides[2], char text[8]) {
    if (position == kPositionUnknown || position < -1800 || position > 1800) {
        std::memcpy(text, "unknown", 8);
        return false;
    }
    const int tenths = position < 0 ? -position : position;
    int at = 0;
    if (tenths >= 1000) text[at++] = char('0' + tenths / 1000);
    if (tenths >= 100) text[at++] = char('0' + tenths / 100 % 10);
    text[at++] = char('0' + tenths / 10 % 10);
    text[at++] = '.';
    text[at++] = char('0' + tenths % 10);
    text[at++] = position < 0 ? sides[1] : sides[0];
    text[at] = '\0';
    return true;
}

}  // namespace

bool FormatPosition(int16_t position, char text[8]) { return WritePosition(position, "EW", text); }

bool FormatListPosition(int16_t position, char text[8]) { return WritePosition(position, "ew", text); }

int16_t ReadPositionWord(const char* word, size_t length) {
    if (length < 2) return kPositionUnknown;
    const char side = word[length - 1];
    const int sign = (side == 'e' || side == 'E') ? 1 : (side == 'w' || side == 'W') ? -1 : 0;
    if (sign == 0) return kPositionUnknown;
    int degrees = 0, tenths = 0;
    size_t i = 0;
    for (; i < length - 1 && IsDigit(word[i]); ++i) {
        degrees = degrees * 10 + (word[i] - '0');
        if (degrees > 180) return kPositionUnknown;
    }
    if (i == 0) return kPositionUnknown;
    if (i < length - 1) {
        if (word[i] != '.' || i + 2 != length - 1 || !IsDigit(word[i + 1])) return kPositionUnknown;
        tenths = word[i + 1] - '0';
    }
    const int value = degrees * 10 + tenths;
    if (value > 1800) return kPositionUnknown;
    return static_cast<int16_t>(sign * value);
}
