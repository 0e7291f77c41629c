#include "pointing/earth.h"

#include <cmath>

Vector3 EarthPoint(double latitude, double longitude, double heightKm) {
    const double phi = Radians(latitude), lambda = Radians(longitude);
    const double e2 = kEarthFlattening * (2.0 - kEarthFlattening);
    // The radius of curvature in the prime vertical.
    const double n = kEarthRadiusKm / std::sqrt(1.0 - e2 * std::sin(phi) * std::sin(phi));
    const double across = (n + heightKm) * std::cos(phi);
    return {across * std::cos(lambda), across * std::sin(lambda), (n * (1.0 - e2) + heightKm) * std::sin(phi)};
}

LocalAxes LocalAxesAt(double latitude, double longitude) {
    const double sp = std::sin(Radians(latitude)), cp = std::cos(Radians(latitude));
    const double sl = std::sin(Radians(longitude)), cl = std::cos(Radians(longitude));
    return {{-sl, cl, 0.0}, {-sp * cl, -sp * sl, cp}, {cp * cl, cp * sl, sp}};
}

double Dot(const Vector3& a, const Vector3& b) { return a.X * b.X + a.Y * b.Y + a.Z * b.Z; }

Vector3 Cross(const Vector3& a, const Vector3& b) {
    return {a.Y * b.Z - a.Z * b.Y, a.Z * b.X - a.X * b.Z, a.X * b.Y - a.Y * b.X};
}

Vector3 Minus(const Vector3& a, const Vector3& b) { return {a.X - b.X, a.Y - b.Y, a.Z - b.Z}; }

Vector3 Scaled(const Vector3& a, double factor) { return {a.X * factor, a.Y * factor, a.Z * factor}; }

double Length(const Vector3& a) { return std::sqrt(Dot(a, a)); }

double Compass(double degrees) {
    double folded = std::fmod(degrees, 360.0);
    if (folded < 0.0) folded += 360.0;
    return folded >= 360.0 ? 0.0 : folded;  // a tiny negative angle rounds up to 360
}
