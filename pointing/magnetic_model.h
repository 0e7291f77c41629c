// The World Magnetic Model (WMM2025): the Earth's main field at a place and
// date, from the model's spherical harmonic coefficients, for the compass's
// side of pointing a dish. Free of any platform.
#pragma once

// One row of the model: degree n, order m, the Gauss coefficients g and h
// (nT) at the epoch and their change (nT a year).
struct MagneticCoefficient {
    int N, M;
    double G, H, GChange, HChange;
};

// The field's components (nT: X north, Y east, Z down), its horizontal and
// total intensity (nT), and inclination and declination (degrees; the
// declination east of true north positive).
struct MagneticField {
    double North, East, Down, Horizontal, Total, Inclination, Declination;
};

// Below this horizontal intensity (near the magnetic poles) a compass needle
// is too weakly held to trust.
constexpr double kWeakHorizontalFieldNt = 6000.0;

// The model's years: from its epoch (2025.0) to five years later, end excluded.
double MagneticModelFirstYear();
double MagneticModelEndYear();
bool MagneticModelCovers(double decimalYear);

// The field at a geodetic latitude and longitude (degrees, east positive),
// a height above the WGS84 ellipsoid (km) and a decimal year. Latitude
// strictly between the poles.
MagneticField ComputeMagneticField(double latitude, double longitude, double heightKm, double decimalYear);
