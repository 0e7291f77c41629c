// The two-digit percentage text the poller writes for each level.
#include <gtest/gtest.h>

#include <string>

#include "measure/level_text.h"

namespace {
std::string TextFor(int32_t level) {
    char text[4] = {'x', 'x', 'x', 'x'};
    FormatLevelText(level, text);
    return std::string(text, 4);
}
}  // namespace

TEST(LevelText, TwoDigitsWithLeadingZeroAndPercent) {
    EXPECT_EQ(TextFor(0), std::string("00%\0", 4));
    EXPECT_EQ(TextFor(5), std::string("05%\0", 4));
    EXPECT_EQ(TextFor(7), std::string("07%\0", 4));
    EXPECT_EQ(TextFor(10), std::string("10%\0", 4));
    EXPECT_EQ(TextFor(42), std::string("42%\0", 4));
    EXPECT_EQ(TextFor(99), std::string("99%\0", 4));
}

TEST(LevelText, OutOfRangeLevelsStayWithinTwoDigits) {
    EXPECT_EQ(TextFor(100), std::string("99%\0", 4));
    EXPECT_EQ(TextFor(250), std::string("99%\0", 4));
    EXPECT_EQ(TextFor(-1), std::string("00%\0", 4));
    EXPECT_EQ(TextFor(INT32_MIN), std::string("00%\0", 4));
    EXPECT_EQ(TextFor(INT32_MAX), std::string("99%\0", 4));
}
