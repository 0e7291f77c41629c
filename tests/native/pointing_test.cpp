// Where to point the dish: the look angles and skew on the WGS84 ellipsoid
// against published figures and the closed forms they must approach, the sun
// against an independent solar position, and the turn between satellites.
#include <gtest/gtest.h>

#include <cmath>

#include "pointing/earth.h"
#include "pointing/pointing.h"
#include "pointing/pointing_input.h"

namespace {

PointingDay Day(int year, int month, int day) {
    PointingDay result{};
    EXPECT_TRUE(MakePointingDay(year, month, day, &result));
    return result;
}

// The sun after the Astronomical Almanac's low-precision formulas (good to
// 0.01 degree from 1950 to 2050), written apart from the NOAA algorithm the
// program uses: its azimuth at a Julian day.
double AlmanacSunAzimuth(double julianDay, double latitude, double longitude) {
    const double n = julianDay - 2451545.0;
    const double meanLongitude = 280.460 + 0.9856474 * n, anomaly = Radians(357.528 + 0.9856003 * n);
    const double ecliptic = Radians(meanLongitude + 1.915 * std::sin(anomaly) + 0.020 * std::sin(2 * anomaly));
    const double obliquity = Radians(23.439 - 0.0000004 * n);
    const double rightAscension = std::atan2(std::cos(obliquity) * std::sin(ecliptic), std::cos(ecliptic));
    const double declination = std::asin(std::sin(obliquity) * std::sin(ecliptic));
    const double sidereal = Radians(280.46061837 + 360.98564736629 * n + longitude);
    const double hour = sidereal - rightAscension, phi = Radians(latitude);
    return Compass(Degrees(std::atan2(-std::sin(hour),
                                      std::tan(declination) * std::cos(phi) - std::sin(phi) * std::cos(hour))));
}

}  // namespace

TEST(LookAngles, AgreeWithPublishedFigures) {
    // Roddy, Satellite Communications, examples 3.1 and 3.2: 35N 100W to 90W.
    const LookAngles roddy = LookAtSatellite(35.0, -100.0, 0.0, -90.0);
    EXPECT_NEAR(roddy.Azimuth, 162.9, 0.05);
    EXPECT_NEAR(roddy.Elevation, 48.0, 0.05);
    EXPECT_NEAR(roddy.RangeKm, 37215.0, 20.0);
    // Munich to Astra 19.2E, the figures the pointing was asked to give.
    const LookAngles munich = LookAtSatellite(48.1374, 11.5755, 0.0, 19.2);
    EXPECT_NEAR(munich.Azimuth, 169.80, 0.005);
    EXPECT_NEAR(munich.Elevation, 34.26, 0.005);
    EXPECT_NEAR(munich.Skew, -6.84, 0.005);
}

// On the ellipsoid the closed spherical forms are off by up to a few tenths:
// the elevation through the geocentric latitude, the skew by the parallax a
// satellite at infinity would not have. Close, and the same signs.
TEST(LookAngles, FollowTheClosedFormsInBothHemispheres) {
    for (double latitude : {-60.0, -33.87, -5.0, 5.0, 48.1374, 60.0})
        for (double apart : {-40.0, -7.6, 3.0, 25.0}) {
            SCOPED_TRACE(testing::Message() << latitude << " degrees, satellite " << apart << " degrees east");
            const LookAngles a = LookAtSatellite(latitude, 10.0, 0.0, 10.0 + apart);
            const double phi = Radians(latitude), d = Radians(-apart);
            const double skew = Degrees(std::atan(std::sin(d) / std::tan(phi)));
            EXPECT_NEAR(a.Skew, skew, 0.3 + 0.01 * std::fabs(skew));
            EXPECT_EQ(a.Skew > 0, skew > 0);
            const double azimuth = Compass(Degrees(std::atan2(std::sin(-d), -std::sin(phi) * std::cos(d))));
            EXPECT_NEAR(a.Azimuth, azimuth, 0.3);
        }
    // On the satellite's meridian: due south (north), no skew.
    EXPECT_NEAR(LookAtSatellite(52.0, 19.2, 0.0, 19.2).Azimuth, 180.0, 1e-9);
    EXPECT_NEAR(LookAtSatellite(-35.0, 19.2, 0.0, 19.2).Azimuth, 0.0, 1e-9);
    EXPECT_NEAR(LookAtSatellite(-35.0, 19.2, 0.0, 19.2).Skew, 0.0, 1e-9);
    // 8 km up the satellite sinks by about 8 cos(elevation) / range radians.
    const double lowered =
        LookAtSatellite(60.0, 10.0, 0.0, 30.0).Elevation - LookAtSatellite(60.0, 10.0, 8.0, 30.0).Elevation;
    EXPECT_NEAR(lowered, Degrees(8.0 * std::cos(Radians(19.87)) / 38000.0), 0.001);
    EXPECT_LT(LookAtSatellite(75.0, 10.0, 0.0, 90.0).Elevation, 0.0);  // far round the Earth
}

TEST(Sun, StandsAtTheSatellitesAzimuthWithinAMinuteOfAnIndependentSun) {
    struct Case { double Latitude, Longitude, Satellite; PointingDay Day; };
    const Case cases[] = {{48.1374, 11.5755, 19.2, Day(2026, 12, 8)}, {-33.87, 151.21, 166.0, Day(2027, 3, 20)},
                          {35.0, -100.0, -90.0, Day(2028, 6, 21)}, {10.0, 30.0, 7.0, Day(2027, 1, 15)}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Latitude);
        const SatellitePointing p = PointAt({c.Latitude, c.Longitude, 0.0}, c.Day, static_cast<int16_t>(c.Satellite * 10));
        ASSERT_GE(p.SunSecond, 0);
        const double midnight = JulianDayAtMidnight(c.Day.Day);
        auto off = [&](int second) {
            return std::remainder(AlmanacSunAzimuth(midnight + second / 86400.0, c.Latitude, c.Longitude) -
                                      p.Look.Azimuth, 360.0);
        };
        // The independent sun crosses the azimuth within the minute either side.
        EXPECT_LT(off(p.SunSecond - 60) * off(p.SunSecond + 60), 0.0);
        EXPECT_GT(SunAt(midnight + p.SunSecond / 86400.0, c.Latitude, c.Longitude).Elevation, 0.0);
    }
    // Greenwich, 3 November: the equation of time is +16 min 26 s, so the sun
    // stands due south at 11:43:34 UTC.
    EXPECT_NEAR(FirstSecondOfSunAt({2026, 11, 3}, 0, 51.4769, 0.0, 180.0), 11 * 3600 + 43 * 60 + 34, 30);
}

// A phone's own day: Kiritimati's 8 December (UTC+14) runs from 10:00 UTC on
// the 7th, Honolulu's (UTC-10) from 10:00 UTC on the 8th; each crossing is
// counted from that midnight, and one before 10:00 UTC falls on the next UTC
// day's morning.
TEST(Sun, TheFirstTimeWithinTheDayOfAClockFarFromUtc) {
    const double lat = 48.1374, lon = 11.5755, noonish = 178.09, morning = 140.0;
    const int tenHours = 10 * 3600, day = 86400;
    const int seventh = FirstSecondOfSunAt({2026, 12, 7}, 0, lat, lon, noonish);
    const int eighth = FirstSecondOfSunAt({2026, 12, 8}, 0, lat, lon, noonish);
    ASSERT_GT(seventh, tenHours);
    ASSERT_GT(eighth, tenHours);
    EXPECT_NEAR(FirstSecondOfSunAt({2026, 12, 8}, 840, lat, lon, noonish), seventh - tenHours, 1);
    EXPECT_NEAR(FirstSecondOfSunAt({2026, 12, 8}, -600, lat, lon, noonish), eighth - tenHours, 1);
    const int ninthMorning = FirstSecondOfSunAt({2026, 12, 9}, 0, lat, lon, morning);
    ASSERT_GE(ninthMorning, 0);
    ASSERT_LT(ninthMorning, tenHours);
    EXPECT_NEAR(FirstSecondOfSunAt({2026, 12, 8}, -600, lat, lon, morning), ninthMorning + day - tenHours, 1);
    // The UTC day is the clock of offset 0.
    EXPECT_EQ(PointAt({lat, lon, 0.0}, Day(2026, 12, 8), 130).SunSecond, eighth);
}

TEST(Sun, NoneWhenItNeverStandsThereInDaylight) {
    // Polar night; a winter sun that sets before it reaches the west-south-west.
    EXPECT_EQ(FirstSecondOfSunAt({2026, 12, 21}, 0, 75.0, 10.0, 180.0), -1);
    EXPECT_EQ(FirstSecondOfSunAt({2026, 12, 8}, 0, 48.1374, 11.5755, 250.0), -1);
    // At night the sun is at every azimuth of the other half: not counted.
    EXPECT_EQ(FirstSecondOfSunAt({2026, 6, 21}, 0, 48.1374, 11.5755, 0.0), -1);
}

TEST(Pointing, TurnsAlongTheArcTheSameWayInBothHemispheres) {
    const PointingDay day = Day(2026, 12, 8);
    const PointingSite munich{48.1374, 11.5755, 0.0}, sydney{-33.87, 151.21, 0.0};
    const PointingTurn east = TurnBetween(PointAt(munich, day, 130), PointAt(munich, day, 192));
    EXPECT_EQ(east.Way, 1);
    EXPECT_NEAR(east.Azimuth, 8.28, 0.005);
    EXPECT_NEAR(east.Elevation, -0.48, 0.005);
    EXPECT_EQ(TurnBetween(PointAt(sydney, day, 1660), PointAt(sydney, day, 1560)).Way, -1);
    EXPECT_EQ(TurnBetween(PointAt(sydney, day, 1560), PointAt(sydney, day, 1560)).Way, 0);
    // Across 180 degrees: 179.0W lies 2 degrees east of 179.0E.
    const PointingSite fiji{-18.0, 178.0, 0.0};
    const PointingTurn over = TurnBetween(PointAt(fiji, day, 1790), PointAt(fiji, day, -1790));
    EXPECT_EQ(over.Way, 1);
    EXPECT_LT(over.Azimuth, 10.0);
}

TEST(Pointing, MagneticAzimuthIsTrueLessTheDeclinationWithinTheModelsYears) {
    const PointingSite munich{48.1374, 11.5755, 0.0};
    const SatellitePointing p = PointAt(munich, Day(2026, 12, 8), 192);
    ASSERT_TRUE(p.DeclinationKnown);
    EXPECT_NEAR(p.Declination, 4.38, 0.005);
    EXPECT_NEAR(p.MagneticAzimuth, 165.42, 0.005);
    EXPECT_FALSE(p.CompassUnreliable);
    EXPECT_FALSE(PointAt(munich, Day(2024, 12, 31), 192).DeclinationKnown);
    EXPECT_FALSE(PointAt(munich, Day(2030, 1, 1), 192).DeclinationKnown);
    EXPECT_TRUE(PointAt({86.0, 140.0, 0.0}, Day(2026, 1, 1), 1400).CompassUnreliable);
}
