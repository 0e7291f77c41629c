#include "phone/pointing_route.h"

#include <cmath>
#include <cstring>

#include "identity/identity_line.h"
#include "phone/phone_protocol.h"
#include "pointing/pointing_input.h"
#include "pointing/pointing_report.h"

namespace {

// The parameters the route knows, and room for the longest value read.
enum PointingParameter { Latitude, Longitude, Height, Date, Position, Tz, kParameterCount };
const char* const kParameterNames[kParameterCount] = {"lat", "lon", "height", "date", "position", "tz"};
constexpr size_t kMaxValue = 64;

struct PointingQuery {
    bool Given[kParameterCount] = {};
    char Values[kParameterCount][kMaxValue + 1] = {};
};

int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// A value as sent in a query (%XX escapes, + for a space) into a
// terminated text; false when it is too long, badly escaped or holds a zero.
bool DecodeValue(const char* text, size_t length, char out[kMaxValue + 1]) {
    size_t used = 0;
    for (size_t i = 0; i < length; ++i) {
        char c = text[i];
        if (c == '%') {
            const int high = i + 2 < length ? HexValue(text[i + 1]) : -1;
            const int low = high >= 0 ? HexValue(text[i + 2]) : -1;
            if (low < 0) return false;
            c = static_cast<char>(high * 16 + low);
            i += 2;
        } else if (c == '+') {
            c = ' ';
        }
        if (c == '\0' || used == kMaxValue) return false;
        out[used++] = c;
    }
    out[used] = '\0';
    return true;
}

// One "name=value" of the query; the message when it is not one the route takes.
const char* ReadPair(const char* pair, size_t length, PointingQuery* query) {
    const char* equals = static_cast<const char*>(std::memchr(pair, '=', length));
    const size_t nameLength = equals ? static_cast<size_t>(equals - pair) : length;
    int p = 0;
    while (p < kParameterCount && (std::strlen(kParameterNames[p]) != nameLength ||
                                   std::memcmp(pair, kParameterNames[p], nameLength) != 0))
        ++p;
    if (p == kParameterCount) return "unknown parameter: the route takes lat, lon, height, date, tz and position";
    if (query->Given[p]) return "a parameter is given twice";
    if (!equals || !DecodeValue(equals + 1, length - nameLength - 1, query->Values[p]))
        return "a parameter's value is missing, too long or badly escaped";
    query->Given[p] = true;
    return nullptr;
}

const char* ReadQuery(const char* target, size_t length, PointingQuery* query) {
    const char* mark = static_cast<const char*>(std::memchr(target, '?', length));
    if (!mark) return "lat and lon are needed";
    const char* at = mark + 1;
    const char* end = target + length;
    if (static_cast<size_t>(end - at) > kMaxQuery) return "the query is too long";
    while (at < end) {
        const char* amp = static_cast<const char*>(std::memchr(at, '&', static_cast<size_t>(end - at)));
        const char* stop = amp ? amp : end;
        if (stop > at)
            if (const char* wrong = ReadPair(at, static_cast<size_t>(stop - at), query)) return wrong;
        at = stop + 1;
    }
    if (!query->Given[Latitude] || !query->Given[Longitude]) return "lat and lon are needed";
    return nullptr;
}

// The message for a parameter that does not read, after its name.
std::string Refusal(int parameter, const char* wrong) { return std::string(kParameterNames[parameter]) + ": " + wrong; }

// The found satellite is the one the broadcast names while measuring under
// a lock; the wanted one is position= or else the measured list entry's.
void FromTheProgram(const PhoneSnapshot& snapshot, PointRequest* in) {
    const SatelliteIdentity identity = ClaimedIdentity(snapshot).Record;
    const bool known = identity.Match != IdentityUnknown && identity.Position >= -1800 && identity.Position <= 1800;
    in->Found = known ? identity.Position : kPositionUnknown;
    in->Wanted = snapshot.Measuring ? PositionFromCaption(snapshot.Caption, kCaptionLength) : kPositionUnknown;
}

std::string ReadInputs(const PointingQuery& q, const PhoneSnapshot& snapshot, const PointingDay* today,
                       PointRequest* in) {
    *in = PointRequest{};
    if (today) in->Day = *today;
    if (!today && !q.Given[Date]) return Refusal(Date, "needed: the PC's clock is not between 1901 and 2099");
    FromTheProgram(snapshot, in);
    const char* wrong = nullptr;
    if ((wrong = ReadLatitude(q.Values[Latitude], &in->Site.Latitude))) return Refusal(Latitude, wrong);
    if ((wrong = ReadLongitude(q.Values[Longitude], &in->Site.Longitude))) return Refusal(Longitude, wrong);
    if (q.Given[Height] && (wrong = ReadHeight(q.Values[Height], &in->Site.HeightM))) return Refusal(Height, wrong);
    if (q.Given[Date] && (wrong = ReadPointingDay(q.Values[Date], &in->Day))) return Refusal(Date, wrong);
    if (q.Given[Position] && (wrong = ReadPosition(q.Values[Position], &in->Wanted))) return Refusal(Position, wrong);
    if (q.Given[Tz] && !q.Given[Date]) return Refusal(Tz, "needs date=, the day on the same clock");
    if (q.Given[Tz] && (wrong = ReadUtcOffset(q.Values[Tz], &in->Day.UtcOffsetMinutes))) return Refusal(Tz, wrong);
    return std::string();
}

std::string Quoted(const std::string& text) {
    std::string json;
    AppendJsonString(&json, text.data(), text.size());
    return json;
}

// The sun's moment as a UTC clock shows it, from the second of the day on
// the day's own clock.
std::string SunTimeJson(const SatellitePointing& p, int utcOffsetMinutes) {
    if (p.SunSecond < 0) return "null";
    constexpr int kDay = 86400;
    return Quoted(ClockText(((p.SunSecond - utcOffsetMinutes * 60) % kDay + kDay) % kDay));
}

std::string BlockJson(const SatellitePointing& p, int utcOffsetMinutes) {
    char position[8];
    FormatPosition(p.Position, position);
    const bool known = p.DeclinationKnown;
    return "{\"position\":" + Quoted(position) + ",\"azimuth\":" + AzimuthText(p.Look.Azimuth) +
           ",\"magneticAzimuth\":" + (known ? AzimuthText(p.MagneticAzimuth) : "null") +
           ",\"declination\":" + (known ? AngleText(p.Declination) : "null") +
           ",\"elevation\":" + AngleText(p.Look.Elevation) + ",\"skew\":" + AngleText(p.Look.Skew) +
           ",\"visible\":" + (p.Visible ? "true" : "false") +
           ",\"sunTime\":" + SunTimeJson(p, utcOffsetMinutes) +
           ",\"compassUnreliable\":" + (known && p.CompassUnreliable ? "true" : "false") + "}";
}

// Only between two slots: within one the dish already sees the wanted
// satellite, as the window's confirmed line says.
std::string TurnJson(const SatellitePointing& found, const SatellitePointing& wanted) {
    if (SameSlot(found.Position, wanted.Position)) return "null";
    const PointingTurn turn = TurnBetween(found, wanted);
    const char* way = turn.Way > 0 ? "\"east\"" : "\"west\"";
    return std::string("{\"azimuth\":") + AngleText(turn.Azimuth) + ",\"direction\":" + way +
           ",\"elevation\":" + AngleText(std::fabs(turn.Elevation)) +
           ",\"tilt\":" + (turn.Elevation >= 0.0 ? "\"up\"" : "\"down\"") + "}";
}

std::string AnswerJson(const PointRequest& in) {
    const bool haveWanted = in.Wanted != kPositionUnknown, haveFound = in.Found != kPositionUnknown;
    const SatellitePointing wanted = haveWanted ? PointAt(in.Site, in.Day, in.Wanted) : SatellitePointing{};
    const SatellitePointing found = haveFound ? PointAt(in.Site, in.Day, in.Found) : SatellitePointing{};
    return "{\"site\":{\"latitude\":" + NumberText("%.4f", in.Site.Latitude) + ",\"longitude\":" +
           NumberText("%.4f", in.Site.Longitude) + ",\"height\":" + NumberText("%.1f", in.Site.HeightM) +
           "},\"wanted\":" + (haveWanted ? BlockJson(wanted, in.Day.UtcOffsetMinutes) : "null") +
           ",\"found\":" + (haveFound ? BlockJson(found, in.Day.UtcOffsetMinutes) : "null") +
           ",\"turn\":" + (haveWanted && haveFound ? TurnJson(found, wanted) : "null") + "}";
}

}  // namespace

PointingAnswer AnswerPointing(const char* target, size_t length, const PhoneSnapshot& snapshot,
                              const PointingDay* today) {
    PointingQuery query;
    PointRequest inputs;
    std::string wrong;
    if (const char* bad = ReadQuery(target, length, &query)) wrong = bad;
    else wrong = ReadInputs(query, snapshot, today, &inputs);
    if (!wrong.empty()) return {400, "{\"error\":" + Quoted(wrong) + "}"};
    return {200, AnswerJson(inputs)};
}
