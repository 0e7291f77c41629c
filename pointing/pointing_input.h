// The pointing's inputs as a person or a script types them, read strictly:
// a text either reads as what it should be, or is refused with a message
// saying what it should be, never guessed at. Each reader returns nullptr
// when the text reads, else that message. Free of any platform.
#pragma once
#include <cstdint>

#include "pointing/pointing.h"

// Decimal degrees, north positive, or 0 to 90 followed by N or S ("48.1374N",
// "33.87S"); the poles themselves have no north to turn from and are refused.
const char* ReadLatitude(const char* text, double* latitude);
// Decimal degrees, east positive, -180 to 360 (180 to 360 are east of
// Greenwich, as some maps write them), or 0 to 180 followed by E or W;
// given back in -180..180.
const char* ReadLongitude(const char* text, double* longitude);
// Metres above the ellipsoid, -500 to 100,000 (the magnetic model's own
// test points go up to 100 km).
const char* ReadHeight(const char* text, double* metres);
// "2027-03-01", or a decimal year ("2027.5", "2027"), from 1901 to 2099.
const char* ReadPointingDay(const char* text, PointingDay* day);
// A clock's offset from UTC in whole minutes, east positive: -720 to 840
// (the world's clocks run from UTC-12 to UTC+14).
const char* ReadUtcOffset(const char* text, int* minutes);
// An orbital position as the satellite list writes it: "13.0E", "19.2e",
// "30.0W" (0 to 180 degrees, at most one decimal); tenths, east positive.
const char* ReadPosition(const char* text, int16_t* position);

// The day of a UTC calendar date, with its decimal year; false for a date
// that is not in the calendar or not from 1901 to 2099.
bool MakePointingDay(int year, int month, int day, PointingDay* result);
