// DVB text to UTF-8: the tables broadcasters use, and text that is broken.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "identity/dvb_text.h"

namespace {

std::string Decode(const std::vector<uint8_t>& bytes, size_t size = 64) {
    std::vector<char> text(size, '#');
    const size_t length = DecodeDvbText(bytes.data(), bytes.size(), text.data(), size);
    EXPECT_EQ(text[length], '\0');
    return std::string(text.data());
}

TEST(DvbText, DefaultTableWithEuroAndDiacritics) {
    EXPECT_EQ(Decode({'A', 'S', 'T', 'R', 'A', ' ', '1', 0x00}), "ASTRA 1");
    EXPECT_EQ(Decode({'5', 0xA4}), "5\xE2\x82\xAC");               // euro sign
    EXPECT_EQ(Decode({0xC2, 'e', 't', 0xC8, 'u'}), "\xC3\xA9t\xC3\xBC");  // acute e, diaeresis u
    EXPECT_EQ(Decode({0xCF, 'C', 'T', 0x8A, '1'}), "\xC4\x8CT1");    // caron C; line break dropped
    EXPECT_EQ(Decode({0xC5, 'q'}), "q\xCC\x84");                      // no precomposed q-macron
    EXPECT_EQ(Decode({'X', 0xC3}), "X");                              // a prefix with nothing after it
    EXPECT_EQ(Decode({0xE9, 0xFB}), "\xC3\x98\xC3\x9F");              // O-stroke, sharp s
}

TEST(DvbText, SelectedTablesAndUtf8) {
    EXPECT_EQ(Decode({0x01, 0xB1, 0xB3}), "\xD0\x91\xD0\x93");         // 8859-5 Cyrillic
    EXPECT_EQ(Decode({0x10, 0x00, 0x05, 0xB1}), "\xD0\x91");           // the same by 0x10 0x00 n
    EXPECT_EQ(Decode({0x10, 0x00, 0x01, 0xE9}), "\xC3\xA9");           // 8859-1
    EXPECT_EQ(Decode({0x0B, 0xA4}), "\xE2\x82\xAC");                   // 8859-15 euro
    EXPECT_EQ(Decode({0x15, 'R', 0xC3, 0xA9, 0x00}), "R\xC3\xA9");
    // Invalid UTF-8: a lone continuation, an overlong form, a surrogate, a cut sequence.
    EXPECT_EQ(Decode({0x15, 0x80, 'a', 0xC0, 0xAF, 0xED, 0xA0, 0x80, 0xE2, 0x82}), "?a???????");
    EXPECT_EQ(Decode({0x11, 0x00, 'O', 0xE0, 0x8A, 0x04, 0x11}), "O\xD0\x91");  // BMP; its line break dropped
}

TEST(DvbText, UnknownTablesShowOnlyWhatIsSafe) {
    EXPECT_EQ(Decode({0x13, 'C', 'C', 0xB5, 0xF7}), "CC??");          // GB2312: not read
    EXPECT_EQ(Decode({0x10, 0x00, 0x0C, 'A', 0xE0}), "A?");            // no 8859-12
    EXPECT_EQ(Decode({0x10}), "");
    EXPECT_EQ(Decode({0x1F, 0x01, 'X'}), "X");
    EXPECT_EQ(Decode({}), "");
}

TEST(DvbText, CutAtACharacterBoundary) {
    // Three two-byte characters in 6 bytes with the terminator: two fit.
    EXPECT_EQ(Decode({0x15, 0xC3, 0xA9, 0xC3, 0xA9, 0xC3, 0xA9}, 6), "\xC3\xA9\xC3\xA9");
    EXPECT_EQ(Decode({'a', 0xA4, 'b'}, 4), "a");  // the euro needs 3 bytes; what follows is not squeezed in
    EXPECT_EQ(Decode({'a', 'b'}, 1), "");
}

}  // namespace
