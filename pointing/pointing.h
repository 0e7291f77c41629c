// Where to point the dish: for a place and a day, a satellite's true and
// magnetic azimuth, elevation, the LNB's skew and the time the sun stands
// where the satellite does; and the turn from the satellite the dish sees to
// the one wanted. Free of any platform.
#pragma once
#include <cstdint>

#include "pointing/look_angles.h"
#include "pointing/sun.h"

// The dish's place: geodetic degrees (north and east positive, longitude in
// -180..180) and metres above the WGS84 ellipsoid.
struct PointingSite {
    double Latitude, Longitude, HeightM;
};

// A calendar day with the decimal year the magnetic model is read at, and
// the clock it is kept by: minutes east of UTC, 0 for a UTC day.
struct PointingDay {
    CalendarDay Day;
    double DecimalYear;
    int UtcOffsetMinutes = 0;
};

struct SatellitePointing {
    int16_t Position;  // tenths of a degree, east positive
    LookAngles Look;
    bool Visible;      // above the horizon
    // Within the magnetic model's years; else the declination and the
    // magnetic azimuth are unknown.
    bool DeclinationKnown;
    double Declination;      // degrees, east positive
    double MagneticAzimuth;  // the true azimuth less the declination, [0, 360)
    bool CompassUnreliable;  // the horizontal field is weak here
    int SunSecond;           // of the day, on its clock; -1: the sun never stands there in daylight
};

SatellitePointing PointAt(const PointingSite& site, const PointingDay& day, int16_t position);

// From the satellite found to the one wanted: the azimuth to turn (degrees,
// never negative) and which way along the arc of satellites, the same in
// both hemispheres (+1 east, -1 west, 0 the same place); the elevation to
// change (degrees, up positive).
struct PointingTurn {
    double Azimuth;
    int Way;
    double Elevation;
};
PointingTurn TurnBetween(const SatellitePointing& found, const SatellitePointing& wanted);
