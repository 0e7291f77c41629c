// `bdaprobe --point`: its arguments and the lines it prints, platform-free so
// that both are checked natively. Every line is ASCII.
#pragma once
#include <string>

#include "common/orbital_position.h"
#include "pointing/pointing.h"

// The exit codes: the wanted satellite above the horizon; below it (every
// line still printed); bad input (a message, nothing printed).
constexpr int kPointVisible = 0;
constexpr int kPointBelowHorizon = 1;
constexpr int kPointBadInput = 2;

struct PointRequest {
    PointingSite Site{};
    PointingDay Day{};
    int16_t Wanted = kPositionUnknown;
    int16_t Found = kPositionUnknown;  // without --found or a satellite found
};

// The arguments after --point:
//   LATITUDE LONGITUDE POSITION [--height METRES] [--date DATE] [--found POSITION]
// with the options in any order after the three; the day is today's unless
// --date names one (today is null when the clock is past the days the
// computation takes: --date is then needed). False with a message naming
// what is wrong.
bool ReadPointArguments(int count, const char* const* arguments, const PointingDay* today, PointRequest* request,
                        std::string* error);

// The lines, in order:
//   site, satellite, azimuth, magnetic azimuth, declination, elevation,
//   skew, sun at this azimuth, and turn with --found;
// angles with two decimals, words after a value in parentheses. Returns the
// exit code.
int FormatPointReport(const PointRequest& request, std::string* text);

// One number as the printf format writes it; a negative zero is written as
// zero.
std::string NumberText(const char* format, double value);
// An angle with two decimals ("-6.84"), never "-0.00".
std::string AngleText(double degrees);
// An azimuth with two decimals in [0, 360): 359.999 reads "0.00".
std::string AzimuthText(double degrees);
// "10:23": the hour and minute of a second of the day.
std::string ClockText(int second);
// The words after a skew: which way to turn the LNB, as seen from behind
// the dish.
const char* SkewWords(double skew);
// Why the declination is unknown, for the model's years.
std::string OutsideModelWords();
