#include "pointing/magnetic_model.h"

#include <cmath>

#include "pointing/earth.h"

namespace {

#include "pointing/magnetic_coefficients.inc"

constexpr int kMaxDegree = 12;
// The model's geomagnetic reference radius (km), not the Earth's.
constexpr double kReferenceRadiusKm = 6371.2;
// A model is issued for five years from its epoch.
constexpr double kModelYears = 5.0;

// Schmidt semi-normalised associated Legendre functions of sin(latitude)
// (geocentric) and their derivatives with respect to that latitude.
struct Legendre {
    double P[kMaxDegree + 2][kMaxDegree + 2];
    double Slope[kMaxDegree + 1][kMaxDegree + 1];
};

// The functions without normalisation, by the usual recursions in the
// degree: Pmm from P(m-1)(m-1), then upward in n for each order.
void FillUnnormalised(double sine, double cosine, Legendre* l) {
    for (auto& row : l->P)
        for (double& value : row) value = 0.0;
    l->P[0][0] = 1.0;
    for (int m = 1; m <= kMaxDegree; ++m) l->P[m][m] = (2 * m - 1) * cosine * l->P[m - 1][m - 1];
    for (int m = 0; m < kMaxDegree; ++m) l->P[m + 1][m] = (2 * m + 1) * sine * l->P[m][m];
    for (int m = 0; m <= kMaxDegree; ++m)
        for (int n = m + 2; n <= kMaxDegree; ++n)
            l->P[n][m] = ((2 * n - 1) * sine * l->P[n - 1][m] - (n + m - 1) * l->P[n - 2][m]) / (n - m);
}

// The derivatives with respect to latitude, from neighbouring orders (no
// division by the cosine, so they hold up to the poles), then both scaled by
// the Schmidt factor sqrt(2 (n-m)! / (n+m)!) for m > 0.
void SlopesAndNormalise(Legendre* l) {
    for (int n = 1; n <= kMaxDegree; ++n) {
        l->Slope[n][0] = l->P[n][1];
        for (int m = 1; m <= n; ++m)
            l->Slope[n][m] = -0.5 * ((n + m) * (n - m + 1) * l->P[n][m - 1] - l->P[n][m + 1]);
    }
    for (int n = 1; n <= kMaxDegree; ++n) {
        double ratio = 1.0;  // (n-m)! / (n+m)!
        for (int m = 1; m <= n; ++m) {
            ratio /= static_cast<double>((n + m) * (n - m + 1));
            const double factor = std::sqrt(2.0 * ratio);
            l->P[n][m] *= factor;
            l->Slope[n][m] *= factor;
        }
    }
}

struct Geocentric {
    double Latitude;  // radians
    double RadiusKm;
};

Geocentric ToGeocentric(double latitude, double heightKm) {
    const Vector3 point = EarthPoint(latitude, 0.0, heightKm);
    return {std::atan2(point.Z, point.X), std::sqrt(point.X * point.X + point.Z * point.Z)};
}

// The field in the geocentric frame (X' north, Y' east, Z' toward the centre).
Vector3 SumHarmonics(const Legendre& l, const Geocentric& place, double longitude, double years) {
    Vector3 field{0.0, 0.0, 0.0};
    const double lambda = Radians(longitude), cosine = std::cos(place.Latitude);
    for (const MagneticCoefficient& c : kMagneticCoefficients) {
        const double g = c.G + years * c.GChange, h = c.H + years * c.HChange;
        const double scale = std::pow(kReferenceRadiusKm / place.RadiusKm, c.N + 2);
        const double cm = std::cos(c.M * lambda), sm = std::sin(c.M * lambda);
        field.X -= scale * (g * cm + h * sm) * l.Slope[c.N][c.M];
        field.Y += scale * c.M * (g * sm - h * cm) * l.P[c.N][c.M] / cosine;
        field.Z -= (c.N + 1) * scale * (g * cm + h * sm) * l.P[c.N][c.M];
    }
    return field;
}

}  // namespace

double MagneticModelFirstYear() { return kMagneticEpoch; }

double MagneticModelEndYear() { return kMagneticEpoch + kModelYears; }

bool MagneticModelCovers(double decimalYear) {
    return decimalYear >= MagneticModelFirstYear() && decimalYear < MagneticModelEndYear();
}

MagneticField ComputeMagneticField(double latitude, double longitude, double heightKm, double decimalYear) {
    const Geocentric place = ToGeocentric(latitude, heightKm);
    Legendre l;
    FillUnnormalised(std::sin(place.Latitude), std::cos(place.Latitude), &l);
    SlopesAndNormalise(&l);
    const Vector3 spherical = SumHarmonics(l, place, longitude, decimalYear - kMagneticEpoch);
    // Back from the geocentric to the geodetic frame: a turn about east.
    const double turn = place.Latitude - Radians(latitude);
    MagneticField f;
    f.North = spherical.X * std::cos(turn) - spherical.Z * std::sin(turn);
    f.East = spherical.Y;
    f.Down = spherical.X * std::sin(turn) + spherical.Z * std::cos(turn);
    f.Horizontal = std::hypot(f.North, f.East);
    f.Total = std::hypot(f.Horizontal, f.Down);
    f.Inclination = Degrees(std::atan2(f.Down, f.Horizontal));
    f.Declination = Degrees(std::atan2(f.East, f.North));
    return f;
}
