#include "pointing/look_angles.h"

#include <cmath>

#include "pointing/earth.h"

namespace {

// The part of v across the line of sight.
Vector3 Across(const Vector3& v, const Vector3& sight) { return Minus(v, Scaled(sight, Dot(v, sight))); }

// The satellite's horizontal is parallel to its equatorial plane, so its
// vertical, across the line of sight, is the Earth's axis seen from the
// dish; the LNB's upright is the local vertical seen the same way. The angle
// between them, turning about the line of sight toward the satellite (right
// handed: clockwise for someone looking along it), folded into -90..90 as a
// polarisation has no front and back.
double SkewAlong(const Vector3& sight, const Vector3& up) {
    const Vector3 upright = Across(up, sight);
    const Vector3 satelliteVertical = Across(Vector3{0.0, 0.0, 1.0}, sight);
    double skew = Degrees(std::atan2(Dot(Cross(upright, satelliteVertical), sight), Dot(upright, satelliteVertical)));
    if (skew > 90.0) skew -= 180.0;
    if (skew <= -90.0) skew += 180.0;
    return skew;
}

}  // namespace

LookAngles LookAtSatellite(double latitude, double longitude, double heightKm, double satelliteLongitude) {
    const Vector3 site = EarthPoint(latitude, longitude, heightKm);
    const double lambda = Radians(satelliteLongitude);
    const Vector3 satellite{kGeostationaryRadiusKm * std::cos(lambda), kGeostationaryRadiusKm * std::sin(lambda), 0.0};
    const Vector3 toward = Minus(satellite, site);
    const double range = Length(toward);
    const Vector3 sight = Scaled(toward, 1.0 / range);
    const LocalAxes axes = LocalAxesAt(latitude, longitude);
    const double east = Dot(sight, axes.East), north = Dot(sight, axes.North), up = Dot(sight, axes.Up);
    LookAngles angles;
    angles.Azimuth = Compass(Degrees(std::atan2(east, north)));
    angles.Elevation = Degrees(std::atan2(up, std::hypot(east, north)));
    angles.Skew = SkewAlong(sight, axes.Up);
    angles.RangeKm = range;
    return angles;
}
