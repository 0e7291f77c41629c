#include "identity/identity_record.h"

#include <cstring>

// Written out by hand: the C runtime's formatting would take a sizeable share
// of the program's size for five characters.
bool FormatPosition(int16_t position, char text[8]) {
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
    text[at++] = position < 0 ? 'W' : 'E';
    text[at] = '\0';
    return true;
}
