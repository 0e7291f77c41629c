#include "pointing/pointing_report.h"

#include <cmath>
#include <cstdio>
#include <cstring>

#include "common/orbital_position.h"
#include "pointing/magnetic_model.h"
#include "pointing/pointing_input.h"

namespace {

std::string PositionName(int16_t position) {
    char text[8];
    FormatPosition(position, text);
    return text;
}

// "48.1374N 11.5755E 0 m"
std::string SiteText(const PointingSite& site) {
    const double height = std::round(site.HeightM * 10.0) / 10.0;
    return NumberText("%.4f", std::fabs(site.Latitude)) + (site.Latitude < 0 ? "S " : "N ") +
           NumberText("%.4f", std::fabs(site.Longitude)) + (site.Longitude < 0 ? "W " : "E ") +
           NumberText(height == std::round(height) ? "%.0f" : "%.1f", height) + " m";
}

std::string CompassWords(const SatellitePointing& p) {
    return p.CompassUnreliable ? " (weak horizontal field: a compass is unreliable here)" : "";
}

std::string TurnText(const SatellitePointing& found, const SatellitePointing& wanted) {
    const PointingTurn turn = TurnBetween(found, wanted);
    if (turn.Way == 0) return "none (the satellite found is the one wanted)";
    return AngleText(turn.Azimuth) + (turn.Way > 0 ? " degrees east, " : " degrees west, ") +
           AngleText(std::fabs(turn.Elevation)) + (turn.Elevation >= 0.0 ? " degrees up" : " degrees down");
}

// One option and its value; false when it is unknown, repeated or alone.
bool ReadOption(const char* name, const char* value, PointRequest* request, bool seen[3], std::string* error) {
    static const char* const kOptions[3] = {"--height", "--date", "--found"};
    int option = 0;
    while (option < 3 && std::strcmp(name, kOptions[option]) != 0) ++option;
    if (option == 3) return *error = std::string("unknown option ") + name, false;
    if (seen[option]) return *error = std::string(name) + " given twice", false;
    if (!value) return *error = std::string(name) + " needs a value", false;
    seen[option] = true;
    const char* wrong = option == 0   ? ReadHeight(value, &request->Site.HeightM)
                        : option == 1 ? ReadPointingDay(value, &request->Day)
                                      : ReadPosition(value, &request->Found);
    if (wrong) *error = std::string(name) + " \"" + value + "\": " + wrong;
    return !wrong;
}

// One of the three values in order; false with the message when it does not read.
bool ReadPositional(int index, const char* value, PointRequest* request, std::string* error) {
    static const char* const kNames[3] = {"LATITUDE", "LONGITUDE", "POSITION"};
    if (index > 2) return *error = std::string("one value too many: \"") + value + "\"", false;
    const char* wrong = index == 0   ? ReadLatitude(value, &request->Site.Latitude)
                        : index == 1 ? ReadLongitude(value, &request->Site.Longitude)
                                     : ReadPosition(value, &request->Wanted);
    if (wrong) *error = std::string(kNames[index]) + " \"" + value + "\": " + wrong;
    return !wrong;
}

}  // namespace

std::string NumberText(const char* format, double value) {
    char text[48];
    std::snprintf(text, sizeof text, format, value + 0.0);
    return text;
}

std::string AngleText(double degrees) {
    const std::string text = NumberText("%.2f", degrees);
    return text == "-0.00" ? "0.00" : text;
}

std::string AzimuthText(double degrees) {
    const std::string text = AngleText(degrees);
    return text == "360.00" ? "0.00" : text;
}

std::string ClockText(int second) {
    char text[8];
    std::snprintf(text, sizeof text, "%02d:%02d", second / 3600 % 24, second / 60 % 60);
    return text;
}

const char* SkewWords(double skew) {
    if (AngleText(skew) == "0.00") return "upright";
    return skew > 0.0 ? "clockwise, seen from behind the dish" : "anticlockwise, seen from behind the dish";
}

std::string OutsideModelWords() {
    return NumberText("the magnetic model covers %.0f", MagneticModelFirstYear()) +
           NumberText(" to %.0f", MagneticModelEndYear() - 1.0);
}

bool ReadPointArguments(int count, const char* const* arguments, const PointingDay* today, PointRequest* request,
                        std::string* error) {
    *request = PointRequest{};
    if (today) request->Day = *today;
    bool seen[3] = {false, false, false};
    int positionals = 0;
    for (int i = 0; i < count; ++i) {
        const char* argument = arguments[i];
        if (std::strncmp(argument, "--", 2) == 0) {
            if (!ReadOption(argument, i + 1 < count ? arguments[i + 1] : nullptr, request, seen, error)) return false;
            ++i;
        } else if (!ReadPositional(positionals++, argument, request, error)) {
            return false;
        }
    }
    if (positionals < 3) *error = "needs LATITUDE LONGITUDE POSITION";
    else if (!today && !seen[1]) *error = "needs --date: the clock is not between 1901 and 2099";
    else return true;
    return false;
}

int FormatPointReport(const PointRequest& request, std::string* text) {
    const SatellitePointing wanted = PointAt(request.Site, request.Day, request.Wanted);
    const std::string unknown = "unknown (" + OutsideModelWords() + ")";
    *text = "site: " + SiteText(request.Site) + "\nsatellite: " + PositionName(request.Wanted) +
            "\nazimuth: " + AzimuthText(wanted.Look.Azimuth) + "\nmagnetic azimuth: " +
            (wanted.DeclinationKnown ? AzimuthText(wanted.MagneticAzimuth) + CompassWords(wanted) : unknown) +
            "\ndeclination: " + (wanted.DeclinationKnown ? AngleText(wanted.Declination) + CompassWords(wanted) : unknown) +
            "\nelevation: " + AngleText(wanted.Look.Elevation) + (wanted.Visible ? "" : " (below the horizon)") +
            "\nskew: " + AngleText(wanted.Look.Skew) + " (" + SkewWords(wanted.Look.Skew) + ")" +
            "\nsun at this azimuth: " + (wanted.SunSecond >= 0 ? ClockText(wanted.SunSecond) + " UTC" : "none") + "\n";
    if (request.Found != kPositionUnknown)
        *text += "turn: " + TurnText(PointAt(request.Site, request.Day, request.Found), wanted) + "\n";
    return wanted.Visible ? kPointVisible : kPointBelowHorizon;
}
