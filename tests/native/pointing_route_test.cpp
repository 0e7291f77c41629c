// GET /api/pointing: the query read strictly and within bounds, the wanted
// and found satellites from what the program publishes, the JSON's blocks.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "phone/phone_protocol.h"
#include "phone/pointing_route.h"
#include "pointing/pointing_input.h"

namespace {

PointingDay Today() {
    PointingDay today{};
    MakePointingDay(2026, 12, 8, &today);
    return today;
}

// Measuring the list's Hot Bird entry under a lock; the broadcast, when
// known, says 19.2E.
PhoneSnapshot Measuring(bool identified) {
    PhoneSnapshot snapshot;
    snapshot.Measuring = snapshot.Locked = true;
    std::memcpy(snapshot.Caption, "HotBird1-6   13.0e", 18);
    if (identified) {
        snapshot.Identity.Record.Position = 192;
        snapshot.Identity.Record.Expected = 130;
        snapshot.Identity.Record.Match = IdentityMismatch;
    }
    return snapshot;
}

PointingAnswer Ask(const std::string& target, const PhoneSnapshot& snapshot = PhoneSnapshot()) {
    const PointingDay today = Today();
    return AnswerPointing(target.data(), target.size(), snapshot, &today);
}

const char kMunich[] = "/api/pointing?lat=48.1374&lon=11.5755";

}  // namespace

TEST(PointingRoute, AnswersForTheMeasuredEntryAndTheSatelliteFound) {
    const PointingAnswer answer = Ask(kMunich, Measuring(true));
    EXPECT_EQ(answer.Status, 200);
    EXPECT_EQ(answer.Json,
              "{\"site\":{\"latitude\":48.1374,\"longitude\":11.5755,\"height\":0.0},"
              "\"wanted\":{\"position\":\"13.0E\",\"azimuth\":178.09,\"magneticAzimuth\":173.71,"
              "\"declination\":4.38,\"elevation\":34.74,\"skew\":-1.29,\"visible\":true,\"sunTime\":\"10:57\","
              "\"compassUnreliable\":false},"
              "\"found\":{\"position\":\"19.2E\",\"azimuth\":169.80,\"magneticAzimuth\":165.42,"
              "\"declination\":4.38,\"elevation\":34.26,\"skew\":-6.84,\"visible\":true,\"sunTime\":\"10:23\","
              "\"compassUnreliable\":false},"
              "\"turn\":{\"azimuth\":8.28,\"direction\":\"west\",\"elevation\":0.48,\"tilt\":\"up\"}}");
}

// The broadcast confirms the entry a tenth or two away (co-located
// satellites share a slot): nothing to turn, as the window says; a slot
// further on is another satellite, and the turn names its way.
TEST(PointingRoute, NoTurnWhenTheFoundSatelliteIsInTheWantedSlot) {
    PhoneSnapshot snapshot = Measuring(true);
    std::memset(snapshot.Caption, ' ', sizeof snapshot.Caption);
    std::memcpy(snapshot.Caption, "Thor 2/3   1.0w", 15);
    snapshot.Identity.Record.Position = -8;
    snapshot.Identity.Record.Expected = -10;
    snapshot.Identity.Record.Match = IdentityConfirmed;
    const std::string confirmed = Ask(kMunich, snapshot).Json;
    EXPECT_NE(confirmed.find("\"wanted\":{\"position\":\"1.0W\""), std::string::npos) << confirmed;
    EXPECT_NE(confirmed.find("\"found\":{\"position\":\"0.8W\""), std::string::npos) << confirmed;
    EXPECT_EQ(confirmed.substr(confirmed.size() - 12), "\"turn\":null}") << confirmed;
    snapshot.Identity.Record.Position = -14;
    snapshot.Identity.Record.Match = IdentityMismatch;
    const std::string other = Ask(kMunich, snapshot).Json;
    EXPECT_NE(other.find("\"turn\":{\"azimuth\":0."), std::string::npos) << other;
    EXPECT_NE(other.find("\"direction\":\"east\""), std::string::npos) << other;
    // Across the 180-degree meridian the same: 179.9E and 179.9W are one slot.
    std::memset(snapshot.Caption, ' ', sizeof snapshot.Caption);
    std::memcpy(snapshot.Caption, "Far   179.9w", 12);
    snapshot.Identity.Record.Position = 1799;
    snapshot.Identity.Record.Expected = -1799;
    EXPECT_NE(Ask("/api/pointing?lat=-41&lon=175", snapshot).Json.find("\"turn\":null}"), std::string::npos);
}

TEST(PointingRoute, PositionNamesTheWantedAndNothingIsClaimedUnknown) {
    // Not measuring: no wanted satellite unless named, none found.
    EXPECT_NE(Ask(kMunich).Json.find("\"wanted\":null,\"found\":null,\"turn\":null"), std::string::npos);
    const std::string named = Ask(std::string(kMunich) + "&position=19.2e&date=2031-06-01&height=520").Json;
    EXPECT_NE(named.find("\"height\":520.0},\"wanted\":{\"position\":\"19.2E\",\"azimuth\":169.80,"
                         "\"magneticAzimuth\":null,\"declination\":null,"),
              std::string::npos)
        << named;
    EXPECT_NE(named.find("\"found\":null,\"turn\":null}"), std::string::npos) << named;
    // Measuring a typed transponder: nothing to want; the identity unknown: nothing found.
    PhoneSnapshot typed = Measuring(false);
    std::memcpy(typed.Caption, "12245H27500                     ", 32);
    EXPECT_NE(Ask(kMunich, typed).Json.find("\"wanted\":null,\"found\":null"), std::string::npos);
    EXPECT_NE(Ask(kMunich, Measuring(false)).Json.find("\"found\":null,\"turn\":null"), std::string::npos);
    // The lock gone (the identity not cleared yet): nothing found, the wanted one stays.
    PhoneSnapshot unlocked = Measuring(true);
    unlocked.Locked = false;
    const std::string lost = Ask(kMunich, unlocked).Json;
    EXPECT_NE(lost.find("\"wanted\":{\"position\":\"13.0E\""), std::string::npos) << lost;
    EXPECT_NE(lost.find("\"found\":null,\"turn\":null}"), std::string::npos) << lost;
    // Far round the Earth: not visible, said so.
    const std::string below = Ask("/api/pointing?lat=48&lon=11&position=100.0W").Json;
    EXPECT_NE(below.find("\"visible\":false"), std::string::npos) << below;
}

// With the phone's offset the date is the phone's day, and the sun's time the
// first within it, still told in UTC: Kiritimati's 8 December (UTC+14) holds
// the crossing of the 7th in UTC.
TEST(PointingRoute, TheSunTimeIsTheFirstWithinThePhonesOwnDay) {
    const auto sunTime = [](const std::string& query) {
        const std::string json = Ask(std::string(kMunich) + "&position=13.0E" + query).Json;
        const size_t at = json.find("\"sunTime\":");
        return at == std::string::npos ? json : json.substr(at, 17);
    };
    EXPECT_EQ(sunTime("&date=2026-12-08"), "\"sunTime\":\"10:57\"");
    EXPECT_EQ(sunTime("&date=2026-12-08&tz=840"), sunTime("&date=2026-12-07"));
    EXPECT_EQ(sunTime("&date=2026-12-08&tz=-600"), sunTime("&date=2026-12-08&tz=0"));
}

TEST(PointingRoute, RefusesBadOrMissingParametersWithTheReason) {
    const std::pair<std::string, const char*> cases[] = {
        {"/api/pointing", "lat and lon are needed"},
        {"/api/pointing?lat=48", "lat and lon are needed"},
        {"/api/pointing?lat=95&lon=11", "lat: the latitude"},
        {"/api/pointing?lat=48&lon=abc", "lon: the longitude"},
        {"/api/pointing?lat=48&lon=11&height=1e9", "height: the height"},
        {"/api/pointing?lat=48&lon=11&date=tomorrow", "date: the date"},
        {"/api/pointing?lat=48&lon=11&position=13.0", "position: the position"},
        {"/api/pointing?lat=48&lon=11&date=2027-03-01&tz=841", "tz: the offset from UTC"},
        {"/api/pointing?lat=48&lon=11&date=2027-03-01&tz=-721", "tz: the offset from UTC"},
        {"/api/pointing?lat=48&lon=11&date=2027-03-01&tz=60.5", "tz: the offset from UTC"},
        {"/api/pointing?lat=48&lon=11&date=2027-03-01&tz=%2B1h", "tz: the offset from UTC"},
        {"/api/pointing?lat=48&lon=11&tz=60", "tz: needs date="},
        {"/api/pointing?lat=48&lon=11&lat=49", "a parameter is given twice"},
        {"/api/pointing?lat=48&lon=11&zoom=3", "unknown parameter"},
        {"/api/pointing?lat=48&lon", "a parameter's value is missing"},
        {"/api/pointing?lat=48%2&lon=11", "a parameter's value is missing"},
        {"/api/pointing?lat=48%00&lon=11", "a parameter's value is missing"},
        {"/api/pointing?lat=" + std::string(65, '1') + "&lon=11", "a parameter's value is missing"},
        {"/api/pointing?lat=1&lon=1&" + std::string(kMaxQuery, '&'), "the query is too long"}};
    for (const auto& c : cases) {
        const PointingAnswer answer = Ask(c.first);
        EXPECT_EQ(answer.Status, 400) << c.first;
        EXPECT_EQ(answer.Json.rfind(std::string("{\"error\":\"") + c.second, 0), 0u) << answer.Json;
    }
    // Escapes and empty pairs are read as a browser sends them.
    EXPECT_EQ(Ask("/api/pointing?lat=48.1374%4E&&lon=%2B11.5755&position=19.2%45").Status, 200);
    const std::string target = kMunich;
    EXPECT_EQ(AnswerPointing(target.data(), target.size(), PhoneSnapshot(), nullptr).Status, 400);
}

TEST(PointingRoute, TheGateRoutesItAndBoundsEveryQuery) {
    const auto scan = [](const std::string& target) {
        const std::string head = "GET " + target + " HTTP/1.1\r\n\r\n";
        return ScanRequestHead(head.data(), head.size());
    };
    EXPECT_EQ(scan("/api/pointing?lat=48&lon=11").Route, RoutePointing);
    EXPECT_EQ(scan("/api/pointing?" + std::string(kMaxQuery, 'a')).Status, 200);
    EXPECT_EQ(scan("/api/pointing?" + std::string(kMaxQuery + 1, 'a')).Status, 414);
    EXPECT_EQ(scan("/?" + std::string(kMaxQuery + 1, 'a')).Status, 414);
    EXPECT_EQ(scan("/api/pointing/").Status, 404);
}
