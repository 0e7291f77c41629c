// Where a geostationary satellite stands in the sky of a place on the WGS84
// ellipsoid, and how far its linear polarisation is turned there: the exact
// vector computation, no spherical Earth. Free of any platform.
#pragma once

// The geostationary orbit's radius (km), on the equator.
constexpr double kGeostationaryRadiusKm = 42164.0;

struct LookAngles {
    double Azimuth;    // degrees clockwise from true north, [0, 360)
    double Elevation;  // degrees above the horizon; negative below it
    // The turn of the LNB from upright that matches the satellite's
    // polarisation, in degrees from -90 to 90: positive clockwise as seen
    // from behind the dish, looking toward the satellite.
    double Skew;
    double RangeKm;
};

// From a geodetic latitude and longitude (degrees, north and east positive)
// and a height above the ellipsoid (km) to the satellite at a longitude
// (degrees, east positive).
LookAngles LookAtSatellite(double latitude, double longitude, double heightKm, double satelliteLongitude);
