// Orbital positions as people and the satellite list write them ("13.0E",
// "19.2e", "30.0W"): one way to write them and one way to read them, for
// every folder. Free of windows.h.
#pragma once
#include <cstddef>
#include <cstdint>

// Orbital positions are tenths of a degree, east positive, west negative.
constexpr int16_t kPositionUnknown = INT16_MIN;

// "13.0E", "30.0W", as a person writes a position. A value past 180 degrees
// is no position: for it and for kPositionUnknown the text is "unknown" and
// the answer false. text holds 8 bytes.
bool FormatPosition(int16_t position, char text[8]);
// The same in the satellite list's small letters: "13.0e", "30.0w".
bool FormatListPosition(int16_t position, char text[8]);

// One word that is a position: whole degrees up to 180 and at most one
// decimal, then E or W in either case ("13.0e", "103.0W", "5e", "0.8w");
// kPositionUnknown for anything else.
int16_t ReadPositionWord(const char* word, size_t length);
