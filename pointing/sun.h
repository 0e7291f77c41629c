// The sun's place in the sky by NOAA's solar calculator algorithm (good to
// well under a minute of time from 1901 to 2099), and the moment it stands
// at a given azimuth: then a dish aimed at the satellite points at the sun,
// and a vertical stick's shadow points away from the satellite. Free of any
// platform.
#pragma once

struct CalendarDay {
    int Year, Month, Day;
};

// The Julian day number at 0:00 UTC of a Gregorian calendar day.
double JulianDayAtMidnight(const CalendarDay& day);

struct SunPlace {
    double Azimuth;    // degrees clockwise from true north
    double Elevation;  // degrees, geometric (no refraction)
};

// The sun seen from a geodetic latitude and longitude (degrees, east
// positive) at a Julian day (UTC).
SunPlace SunAt(double julianDay, double latitude, double longitude);

// The first second of a day at which the sun, above the horizon, stands at
// the azimuth (to within a second), counted from the day's midnight on a
// clock utcOffsetMinutes east of UTC (0: the UTC day; a phone far from UTC
// keeps a day that starts and ends hours away from it); -1 when it never
// does that day.
int FirstSecondOfSunAt(const CalendarDay& day, int utcOffsetMinutes, double latitude, double longitude,
                       double azimuth);
