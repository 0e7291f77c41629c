// The one UTF-8 reader and writer: the edges of every lead byte's range.
#include <gtest/gtest.h>

#include <string>

#include "common/utf8.h"

namespace {

// The length read at the start of the bytes, and the code point when one is read.
size_t Read(const std::string& text, uint32_t* c) {
    return ReadUtf8(reinterpret_cast<const uint8_t*>(text.data()), text.size(), c);
}

TEST(Utf8, WellFormedCharactersOfEveryLength) {
    const std::pair<std::string, uint32_t> cases[] = {
        {"A", 0x41},          {"\xC2\x80", 0x80},         {"\xDF\xBF", 0x7FF},
        {"\xE0\xA0\x80", 0x800}, {"\xED\x9F\xBF", 0xD7FF}, {"\xEE\x80\x80", 0xE000},
        {"\xEF\xBF\xBD", 0xFFFD}, {"\xF0\x90\x80\x80", 0x10000}, {"\xF4\x8F\xBF\xBF", 0x10FFFF}};
    for (const auto& c : cases) {
        uint32_t code = 0;
        EXPECT_EQ(Read(c.first + "tail", &code), c.first.size()) << c.second;
        EXPECT_EQ(code, c.second);
        // Written back, the same bytes; read from the middle of a text, the same character.
        char bytes[4];
        EXPECT_EQ(std::string(bytes, WriteUtf8(c.second, bytes)), c.first) << c.second;
        EXPECT_EQ(ReadUtf8("ab" + c.first, 2, &code), c.first.size());
        EXPECT_EQ(code, c.second);
    }
}

TEST(Utf8, NothingThatIsNotOneCharacter) {
    const std::string cases[] = {
        "\x80",              // a continuation byte alone
        "\xC0\x80", "\xC1\xBF",  // overlong two-byte forms
        "\xE0\x9F\xBF",      // an overlong three-byte form
        "\xED\xA0\x80",      // a surrogate
        "\xF0\x8F\xBF\xBF",  // an overlong four-byte form
        "\xF4\x90\x80\x80",  // past U+10FFFF
        "\xF5\x80\x80\x80", "\xFF",
        "\xE2\x82",          // cut short
        "\xE2\x28\xA1",      // a third byte that continues nothing
        "\xF0\x9F\x98\x41"};
    for (const std::string& bytes : cases) {
        uint32_t code = 0;
        EXPECT_EQ(Read(bytes, &code), 0u) << testing::PrintToString(bytes);
    }
    uint32_t code = 0;
    EXPECT_EQ(ReadUtf8(nullptr, 0, &code), 0u);
}

}  // namespace
