#include "pointing/pointing.h"

#include <cmath>

#include "identity/identity_line.h"
#include "pointing/earth.h"
#include "pointing/magnetic_model.h"

SatellitePointing PointAt(const PointingSite& site, const PointingDay& day, int16_t position) {
    SatellitePointing p{};
    p.Position = position;
    const double heightKm = site.HeightM / 1000.0;
    p.Look = LookAtSatellite(site.Latitude, site.Longitude, heightKm, position / 10.0);
    p.Visible = p.Look.Elevation > 0.0;
    p.DeclinationKnown = MagneticModelCovers(day.DecimalYear);
    if (p.DeclinationKnown) {
        const MagneticField field = ComputeMagneticField(site.Latitude, site.Longitude, heightKm, day.DecimalYear);
        p.Declination = field.Declination;
        p.MagneticAzimuth = Compass(p.Look.Azimuth - field.Declination);
        p.CompassUnreliable = field.Horizontal < kWeakHorizontalFieldNt;
    }
    p.SunSecond = FirstSecondOfSunAt(day.Day, day.UtcOffsetMinutes, site.Latitude, site.Longitude, p.Look.Azimuth);
    return p;
}

PointingTurn TurnBetween(const SatellitePointing& found, const SatellitePointing& wanted) {
    double azimuth = std::fabs(wanted.Look.Azimuth - found.Look.Azimuth);
    if (azimuth > 180.0) azimuth = 360.0 - azimuth;
    const int apart = ArcTenths(found.Position, wanted.Position);
    return {azimuth, apart > 0 ? 1 : apart < 0 ? -1 : 0, wanted.Look.Elevation - found.Look.Elevation};
}
