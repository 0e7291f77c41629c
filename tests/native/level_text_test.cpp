// The two-digit percentage text the poller writes for each level.
#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>

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

// The poller rewrites the text while the voice reads its two digits: a reader
// must get one reading or the other, never the tens of one with the units of
// the next (47 then 52 heard as "42" or "57").
TEST(LevelText, ReadersNeverSeeTwoReadingsMixed) {
    LevelTextWord word{PackLevelText("47%")};
    std::atomic<bool> stop{false};
    std::thread writer([&] {
        for (int i = 0; !stop.load(); ++i) WriteLevelText(&word, i % 2 ? 52 : 47);
    });
    // Counted in changes seen, not in time: however the two threads are
    // scheduled, the reader watches the text flip this many times.
    int changes = 0, mixed = 0;
    std::string last = "47%";
    while (changes < 20000 && mixed == 0) {
        char text[4];
        ReadLevelText(word, text);
        const std::string now(text, 3);
        if (now != "47%" && now != "52%") ++mixed;
        if (now != last) ++changes;
        last = now;
        if (text[3] != '\0') ++mixed;
    }
    stop.store(true);
    writer.join();
    EXPECT_EQ(mixed, 0) << "last text read: " << last;
}

TEST(LevelText, WordHoldsTheFormattedText) {
    LevelTextWord word{PackLevelText("00%")};
    char text[4] = {'x', 'x', 'x', 'x'};
    ReadLevelText(word, text);
    EXPECT_EQ(std::string(text, 4), std::string("00%\0", 4));
    WriteLevelText(&word, 7);
    ReadLevelText(word, text);
    EXPECT_EQ(std::string(text, 4), std::string("07%\0", 4));
    WriteLevelText(&word, 250);
    ReadLevelText(word, text);
    EXPECT_EQ(std::string(text, 4), std::string("99%\0", 4));
}
