// Orbital positions written and read in one place for every folder: a
// person's capitals and the list's small letters, and the one word a list
// entry's name and a caption end with.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "common/orbital_position.h"
#include "listmaker/list_line.h"

namespace {

int16_t Read(const char* word) { return ReadPositionWord(word, std::strlen(word)); }

}  // namespace

TEST(OrbitalPosition, WrittenInCapitalsOrInTheListsSmallLetters) {
    char person[8], list[8];
    for (const int16_t tenths : {int16_t(0), int16_t(8), int16_t(-8), int16_t(130), int16_t(-1031), int16_t(1800)}) {
        ASSERT_TRUE(FormatPosition(tenths, person));
        ASSERT_TRUE(FormatListPosition(tenths, list));
        std::string lower(person);
        lower.back() = static_cast<char>(lower.back() | 0x20);
        EXPECT_EQ(lower, list);
        EXPECT_EQ(Read(person), tenths) << person;
        EXPECT_EQ(Read(list), tenths) << list;
    }
    EXPECT_FALSE(FormatListPosition(-1801, list));
    EXPECT_STREQ(list, "unknown");
    EXPECT_EQ(PositionText(-1031), "103.1w");
    EXPECT_EQ(PositionText(5000), "unknown");
}

TEST(OrbitalPosition, AWordIsAPositionOrNothing) {
    EXPECT_EQ(Read("5e"), 50);
    EXPECT_EQ(Read("013.0E"), 130);
    for (const char* bad : {"", "e", "13.0", "13.0x", ".5e", "13.e", "13.05e", "13,0e", "180.1e", "181e", "-13.0e",
                            "1 3.0e", "99999999999e"})
        EXPECT_EQ(Read(bad), kPositionUnknown) << '"' << bad << '"';
}

// A list line's name ends with the position in small letters after white
// space; anything else is no entry of the list.
TEST(OrbitalPosition, AListLineEndsItsNameWithThePosition) {
    ListLine line;
    ASSERT_TRUE(ParseListLine("[Thor 5/6/7   0.8w]=3977h17777;", &line));
    EXPECT_EQ(line.Tenths, -8);
    ASSERT_TRUE(ParseListLine("[ 180.0e]=11000h27500;", &line));
    EXPECT_EQ(line.Tenths, 1800);
    for (const char* bad : {"[Thor   0.8W]=3977h17777;", "[Thor0.8w]=3977h17777;", "[0.8w]=3977h17777;",
                            "[Far   180.5e]=11000h27500;", "[Far   200e]=11000h27500;", "[Thor   0.8w ]=3977h17777;"})
        EXPECT_FALSE(ParseListLine(bad, &line)) << bad;
}
