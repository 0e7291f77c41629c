// bdaprobe --point's arguments and lines: what a person types is read or
// refused with the reason, never guessed; the lines are exact.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "pointing/pointing_input.h"
#include "pointing/pointing_report.h"

namespace {

PointingDay Today() {
    PointingDay today{};
    MakePointingDay(2026, 12, 8, &today);
    return today;
}

// The exit code and the lines, or 2 and the message.
int Point(std::vector<const char*> arguments, std::string* text, const PointingDay* today = nullptr) {
    const PointingDay fallback = Today();
    PointRequest request;
    if (!ReadPointArguments(static_cast<int>(arguments.size()), arguments.data(), today ? today : &fallback, &request,
                            text))
        return kPointBadInput;
    return FormatPointReport(request, text);
}

}  // namespace

TEST(PointingInput, ReadsCoordinatesAsPeopleWriteThem) {
    double value = 0.0;
    EXPECT_EQ(ReadLatitude("48.1374N", &value), nullptr);
    EXPECT_DOUBLE_EQ(value, 48.1374);
    EXPECT_EQ(ReadLatitude("33.87s", &value), nullptr);
    EXPECT_DOUBLE_EQ(value, -33.87);
    EXPECT_EQ(ReadLatitude("-33.87", &value), nullptr);
    EXPECT_EQ(ReadLongitude("0.13W", &value), nullptr);
    EXPECT_DOUBLE_EQ(value, -0.13);
    EXPECT_EQ(ReadLongitude("350", &value), nullptr);  // east of Greenwich, as 360 - 10
    EXPECT_DOUBLE_EQ(value, -10.0);
    EXPECT_EQ(ReadLongitude("+11.5755", &value), nullptr);
    for (const char* bad : {"", "N", "90", "-90", "90N", "91", "-33.87S", "48,1", "4e1", "inf", "nan", "48.1.2",
                            " 48", "48 ", "48NN", "0x30", "48.13740000000000000000001"})
        EXPECT_NE(ReadLatitude(bad, &value), nullptr) << '"' << bad << '"';
    for (const char* bad : {"360.1", "-180.5", "181E", "200W", "-10E", "E", "11.5O"})
        EXPECT_NE(ReadLongitude(bad, &value), nullptr) << '"' << bad << '"';
    EXPECT_EQ(ReadHeight("-500", &value), nullptr);
    EXPECT_EQ(ReadHeight("100000", &value), nullptr);
    EXPECT_NE(ReadHeight("100000.1", &value), nullptr);
    EXPECT_NE(ReadHeight("12m", &value), nullptr);
}

TEST(PointingInput, ReadsDaysPositionsAndDecimalYears) {
    PointingDay day{};
    EXPECT_EQ(ReadPointingDay("2027-03-01", &day), nullptr);
    EXPECT_EQ(day.Day.Year * 10000 + day.Day.Month * 100 + day.Day.Day, 20270301);
    EXPECT_NEAR(day.DecimalYear, 2027 + 59.0 / 365, 1e-12);
    EXPECT_EQ(ReadPointingDay("2027.5", &day), nullptr);
    EXPECT_EQ(day.Day.Month * 100 + day.Day.Day, 702);  // day 183 of 365
    EXPECT_DOUBLE_EQ(day.DecimalYear, 2027.5);
    EXPECT_EQ(ReadPointingDay("2028-02-29", &day), nullptr);
    EXPECT_EQ(ReadPointingDay("2028.9999", &day), nullptr);
    EXPECT_EQ(day.Day.Month * 100 + day.Day.Day, 1231);
    for (const char* bad : {"2027-02-29", "2027-13-01", "2027-00-10", "2027-1-1", "1900-12-31", "2100-01-01",
                            "2100", "-2027", "27-03-01", "2027/03/01", "today", ""})
        EXPECT_NE(ReadPointingDay(bad, &day), nullptr) << '"' << bad << '"';
    int16_t position = 0;
    EXPECT_EQ(ReadPosition("19.2e", &position), nullptr);
    EXPECT_EQ(position, 192);
    EXPECT_EQ(ReadPosition("30.0W", &position), nullptr);
    EXPECT_EQ(position, -300);
    for (const char* bad : {"13.05E", "181E", "13.0", "Astra 19.2E", "-13.0E", "", "E"})
        EXPECT_NE(ReadPosition(bad, &position), nullptr) << '"' << bad << '"';
}

TEST(PointReport, TheMunichExampleLineForLine) {
    std::string text;
    EXPECT_EQ(Point({"48.1374N", "11.5755E", "19.2E", "--date", "2026-12-08", "--found", "13.0E"}, &text), 0);
    EXPECT_EQ(text,
              "site: 48.1374N 11.5755E 0 m\n"
              "satellite: 19.2E\n"
              "azimuth: 169.80\n"
              "magnetic azimuth: 165.42\n"
              "declination: 4.38\n"
              "elevation: 34.26\n"
              "skew: -6.84 (anticlockwise, seen from behind the dish)\n"
              "sun at this azimuth: 10:23 UTC\n"
              "turn: 8.28 degrees east, 0.48 degrees down\n");
}

TEST(PointReport, SaysWhatIsUnknownBelowTheHorizonAndOutsideTheModel) {
    std::string text;
    // Far round the Earth: every line still there, the elevation negative.
    EXPECT_EQ(Point({"48.1374", "11.5755", "100.0W", "--height", "12.5"}, &text), kPointBelowHorizon);
    EXPECT_NE(text.find("site: 48.1374N 11.5755E 12.5 m\n"), std::string::npos) << text;
    EXPECT_NE(text.find(" (below the horizon)\nskew: "), std::string::npos) << text;
    EXPECT_NE(text.find("\ndeclination: 4."), std::string::npos) << text;
    EXPECT_EQ(Point({"-33.87", "151.21", "166.0E", "--date", "2031.2"}, &text), kPointVisible);
    EXPECT_NE(text.find("magnetic azimuth: unknown (the magnetic model covers 2025 to 2029)\n"
                        "declination: unknown (the magnetic model covers 2025 to 2029)\n"),
              std::string::npos)
        << text;
    EXPECT_NE(text.find("(clockwise, seen from behind the dish)"), std::string::npos) << text;
    EXPECT_EQ(Point({"86", "140", "140.0E", "--date", "2026-01-01"}, &text), kPointBelowHorizon);
    EXPECT_NE(text.find("(weak horizontal field: a compass is unreliable here)\ndeclination: "), std::string::npos);
    EXPECT_NE(text.find("sun at this azimuth: none\n"), std::string::npos) << text;
    EXPECT_EQ(Point({"48", "11", "11.0E", "--found", "11.0E"}, &text), kPointVisible);
    EXPECT_NE(text.find("turn: none (the satellite found is the one wanted)\n"), std::string::npos) << text;
}

TEST(PointReport, RefusesBadArgumentsNamingWhatIsWrong) {
    const std::vector<std::pair<std::vector<const char*>, const char*>> cases = {
        {{}, "needs LATITUDE LONGITUDE POSITION"},
        {{"48", "11"}, "needs LATITUDE LONGITUDE POSITION"},
        {{"95", "11", "13.0E"}, "LATITUDE \"95\": the latitude"},
        {{"48", "11W5", "13.0E"}, "LONGITUDE \"11W5\": the longitude"},
        {{"48", "11", "13"}, "POSITION \"13\": the position"},
        {{"48", "11", "13E", "14E"}, "one value too many"},
        {{"48", "11", "13E", "--height"}, "--height needs a value"},
        {{"48", "11", "13E", "--height", "9e9"}, "--height \"9e9\": the height"},
        {{"48", "11", "13E", "--date", "2026-02-30"}, "--date \"2026-02-30\": the date"},
        {{"48", "11", "13E", "--found", "x"}, "--found \"x\": the position"},
        {{"48", "11", "13E", "--date", "2027", "--date", "2027"}, "--date given twice"},
        {{"48", "11", "13E", "--seconds", "3"}, "unknown option --seconds"}};
    for (const auto& c : cases) {
        std::string text;
        EXPECT_EQ(Point(c.first, &text), kPointBadInput) << c.second;
        EXPECT_EQ(text.rfind(c.second, 0), 0u) << text;
    }
    // A clock past the computation's days: the date must be given.
    std::string text;
    PointRequest request;
    const char* const place[] = {"48", "11", "13E"};
    EXPECT_FALSE(ReadPointArguments(3, place, nullptr, &request, &text));
    EXPECT_EQ(text, "needs --date: the clock is not between 1901 and 2099");
}
