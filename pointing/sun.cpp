#include "pointing/sun.h"

#include <cmath>

#include "pointing/earth.h"

namespace {

constexpr int kSecondsPerDay = 86400;
constexpr int kScanStepSeconds = 60;

double SinDegrees(double degrees) { return std::sin(Radians(degrees)); }
double CosDegrees(double degrees) { return std::cos(Radians(degrees)); }

struct SolarDay {
    double Declination;       // degrees
    double EquationOfTime;    // minutes
};

// The sun's declination and the equation of time, after NOAA's spreadsheet.
SolarDay SolarDayAt(double julianDay) {
    const double t = (julianDay - 2451545.0) / 36525.0;  // Julian centuries from J2000
    const double meanLongitude = Compass(280.46646 + t * (36000.76983 + t * 0.0003032));
    const double anomaly = 357.52911 + t * (35999.05029 - 0.0001537 * t);
    const double eccentricity = 0.016708634 - t * (0.000042037 + 0.0000001267 * t);
    const double centre = SinDegrees(anomaly) * (1.914602 - t * (0.004817 + 0.000014 * t)) +
                          SinDegrees(2 * anomaly) * (0.019993 - 0.000101 * t) + SinDegrees(3 * anomaly) * 0.000289;
    const double omega = 125.04 - 1934.136 * t;
    const double apparent = meanLongitude + centre - 0.00569 - 0.00478 * SinDegrees(omega);
    const double meanObliquity = 23.0 + (26.0 + (21.448 - t * (46.815 + t * (0.00059 - t * 0.001813))) / 60.0) / 60.0;
    const double obliquity = meanObliquity + 0.00256 * CosDegrees(omega);
    const double y = std::pow(std::tan(Radians(obliquity / 2.0)), 2);
    const double l2 = Radians(2 * meanLongitude), m = Radians(anomaly);
    const double equation = y * std::sin(l2) - 2 * eccentricity * std::sin(m) +
                            4 * eccentricity * y * std::sin(m) * std::cos(l2) - 0.5 * y * y * std::sin(2 * l2) -
                            1.25 * eccentricity * eccentricity * std::sin(2 * m);
    return {Degrees(std::asin(SinDegrees(obliquity) * SinDegrees(apparent))), 4.0 * Degrees(equation)};
}

// The difference between the sun's azimuth and the wanted one, in (-180, 180],
// or a value past 180 while the sun is down.
constexpr double kSunDown = 1000.0;
double OffAzimuth(double midnight, int second, double latitude, double longitude, double azimuth) {
    const SunPlace sun = SunAt(midnight + second / static_cast<double>(kSecondsPerDay), latitude, longitude);
    if (sun.Elevation <= 0.0) return kSunDown;
    double off = Compass(sun.Azimuth - azimuth);
    return off > 180.0 ? off - 360.0 : off;
}

}  // namespace

double JulianDayAtMidnight(const CalendarDay& day) {
    int year = day.Year, month = day.Month;
    if (month <= 2) {
        year -= 1;
        month += 12;
    }
    const int century = year / 100;
    const int gregorian = 2 - century + century / 4;
    return std::floor(365.25 * (year + 4716)) + std::floor(30.6001 * (month + 1)) + day.Day + gregorian - 1524.5;
}

SunPlace SunAt(double julianDay, double latitude, double longitude) {
    const SolarDay solar = SolarDayAt(julianDay);
    const double minutes = (julianDay + 0.5 - std::floor(julianDay + 0.5)) * 1440.0;  // of the UTC day
    const double trueSolarMinutes = minutes + solar.EquationOfTime + 4.0 * longitude;
    const double hourAngle = Radians(trueSolarMinutes / 4.0 - 180.0);
    const double phi = Radians(latitude), delta = Radians(solar.Declination);
    const double east = -std::cos(delta) * std::sin(hourAngle);
    const double north = std::sin(delta) * std::cos(phi) - std::cos(delta) * std::cos(hourAngle) * std::sin(phi);
    const double up = std::sin(delta) * std::sin(phi) + std::cos(delta) * std::cos(hourAngle) * std::cos(phi);
    return {Compass(Degrees(std::atan2(east, north))), Degrees(std::atan2(up, std::hypot(east, north)))};
}

int FirstSecondOfSunAt(const CalendarDay& day, int utcOffsetMinutes, double latitude, double longitude,
                       double azimuth) {
    const double midnight = JulianDayAtMidnight(day) - utcOffsetMinutes / 1440.0;
    auto off = [&](int second) { return OffAzimuth(midnight, second, latitude, longitude, azimuth); };
    double before = off(0);
    for (int start = 0; start < kSecondsPerDay; start += kScanStepSeconds) {
        const int end = start + kScanStepSeconds;
        const double after = off(end);
        if (before == 0.0) return start;
        // A crossing of zero in daylight, not a wrap past the opposite side.
        if (before != kSunDown && after != kSunDown && (before < 0) != (after < 0) &&
            std::fabs(before) + std::fabs(after) < 180.0) {
            int low = start, high = end;
            while (high - low > 1) {
                const int middle = (low + high) / 2;
                ((off(middle) < 0) == (before < 0) ? low : high) = middle;
            }
            return high < kSecondsPerDay ? high : kSecondsPerDay - 1;
        }
        before = after;
    }
    return -1;
}
