// The Earth as the pointing computations see it: the WGS84 ellipsoid, and a
// place on it as a point in space. Free of any platform.
#pragma once

// WGS84: equatorial radius (km) and flattening.
constexpr double kEarthRadiusKm = 6378.137;
constexpr double kEarthFlattening = 1.0 / 298.257223563;
constexpr double kPi = 3.14159265358979323846;

constexpr double Radians(double degrees) { return degrees * (kPi / 180.0); }
constexpr double Degrees(double radians) { return radians * (180.0 / kPi); }

struct Vector3 {
    double X, Y, Z;
};

// Earth-centred, Earth-fixed (km): X toward 0 degrees longitude on the
// equator, Z toward the north pole. Latitude geodetic, height in km above
// the ellipsoid.
Vector3 EarthPoint(double latitude, double longitude, double heightKm);

// The local east, north and up at a geodetic latitude and longitude.
struct LocalAxes {
    Vector3 East, North, Up;
};
LocalAxes LocalAxesAt(double latitude, double longitude);

double Dot(const Vector3& a, const Vector3& b);
Vector3 Cross(const Vector3& a, const Vector3& b);
Vector3 Minus(const Vector3& a, const Vector3& b);
Vector3 Scaled(const Vector3& a, double factor);
double Length(const Vector3& a);

// An angle in degrees brought into [0, 360).
double Compass(double degrees);
