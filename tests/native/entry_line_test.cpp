// The typed transponder line: editing, the default line, the parse, and the
// number conversion that both the line and the list file use.
#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "transponder/entry_line.h"

namespace {

std::string TextOf(const EntryLine& line) { return std::string(line.Text, kEntryLength); }

EntryLine Typed(const std::string& s) {
    EntryLine line;
    for (char c : s) PutEntryChar(&line, c, false);
    return line;
}

struct Parsed {
    StartResult Result;
    Transponder T;
    std::string Caption;
};

// Parses the line as typed (blank-filled to 13) from an exact 13-byte copy.
Parsed Parse(const std::string& typed, Transponder start = Transponder{}) {
    const std::string padded = typed + std::string(kEntryLength - typed.size(), ' ');
    std::vector<char> text(padded.begin(), padded.end());
    Parsed p{Rejected, start, std::string(32, '#')};
    p.Result = ParseEntryLineText(text.data(), &p.T, &p.Caption[0]);
    return p;
}

int32_t Convert(const std::string& s) {
    std::vector<char> exact(s.begin(), s.end());
    return ConvertField(exact.data(), exact.size());
}

}  // namespace

TEST(ConvertField, ConversionRule) {
    EXPECT_EQ(Convert("27500"), 27500);
    EXPECT_EQ(Convert("+27500"), 27500);
    EXPECT_EQ(Convert("-27500"), -27500);
    EXPECT_EQ(Convert(" \t\r\n\v\f42"), 42);
    EXPECT_EQ(Convert("  -7x9"), -7);
    EXPECT_EQ(Convert("2750H"), 2750);
    EXPECT_EQ(Convert("999 "), 999);
    EXPECT_EQ(Convert(""), 0);
    EXPECT_EQ(Convert("    "), 0);
    EXPECT_EQ(Convert("H123"), 0);
    EXPECT_EQ(Convert("+-5"), 0);
    EXPECT_EQ(Convert("- 5"), 0);
    EXPECT_EQ(Convert("1 2"), 1);
    EXPECT_EQ(ConvertField("12345", 3), 123) << "only its own characters";
    EXPECT_EQ(ConvertField(nullptr, 0), 0);
}

TEST(ConvertField, SaturatesInsteadOfOverflowing) {
    EXPECT_EQ(Convert("2147483647"), INT32_MAX);
    EXPECT_EQ(Convert("2147483648"), INT32_MAX);
    EXPECT_EQ(Convert("99999999999999999999999"), INT32_MAX);
    EXPECT_EQ(Convert("-2147483648"), INT32_MIN);
    EXPECT_EQ(Convert("-2147483649"), INT32_MIN);
    EXPECT_EQ(Convert("-99999999999999999999999"), INT32_MIN);
    EXPECT_EQ(Convert("-2147483647"), -2147483647);
}

TEST(EntryEditing, TypingAndFullLine) {
    EntryLine line;
    EXPECT_EQ(TextOf(line), std::string(13, ' '));
    EXPECT_EQ(line.Text[13], '\0');
    EXPECT_EQ(line.Position, 0);

    EXPECT_EQ(PutEntryChar(&line, '1', false), 1);
    EXPECT_EQ(PutEntryChar(&line, '2', false), 2);
    EXPECT_EQ(line.Position, 2);
    EXPECT_EQ(PutEntryChar(&line, 'X', true), 3) << "stored at 2, position kept";
    EXPECT_EQ(line.Position, 2);
    EXPECT_EQ(TextOf(line), "12X          ");

    line = Typed("12245H27500AA");
    EXPECT_EQ(line.Position, 13);
    EXPECT_EQ(PutEntryChar(&line, 'B', false), 0) << "a fourteenth key press is ignored";
    EXPECT_EQ(PutEntryChar(&line, ' ', true), 0);
    EXPECT_EQ(line.Position, 13);
    EXPECT_EQ(TextOf(line), "12245H27500AA");
    EXPECT_EQ(line.Text[13], '\0');
}

TEST(EntryEditing, EraseAndClear) {
    // Erasing at the start leaves position 0 and a blank first character.
    EntryLine line;
    StepBackEntry(&line);
    EXPECT_EQ(line.Position, -1);
    EXPECT_EQ(PutEntryChar(&line, ' ', true), 1);
    EXPECT_EQ(line.Position, 0);
    EXPECT_EQ(TextOf(line), std::string(13, ' '));

    // Erasing after 13 characters blanks character 12, position 12.
    line = Typed("12245H27500AB");
    StepBackEntry(&line);
    EXPECT_EQ(PutEntryChar(&line, ' ', true), 13);
    EXPECT_EQ(line.Position, 12);
    EXPECT_EQ(TextOf(line), "12245H27500A ");
    StepBackEntry(&line);
    EXPECT_EQ(PutEntryChar(&line, ' ', true), 12);
    EXPECT_EQ(TextOf(line), "12245H27500  ");
    EXPECT_EQ(PutEntryChar(&line, 'B', false), 12);
    EXPECT_EQ(TextOf(line), "12245H27500B ");

    BlankEntryLine(&line);
    EXPECT_EQ(TextOf(line), std::string(13, ' '));
    EXPECT_EQ(line.Text[13], '\0');
    EXPECT_EQ(line.Position, 0);
    EXPECT_EQ(PutEntryChar(&line, ' ', true), 1);
    EXPECT_EQ(line.Position, 0);
}

TEST(EntryDefault, LastSemicolonInFirst13Bytes) {
    std::ifstream in(ZENTRIK_RESOURCES_DIR "/default_entry.trp", std::ios::binary);
    const std::vector<uint8_t> trp((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    ASSERT_EQ(trp.size(), 12u);
    EntryLine line;
    LoadDefaultEntryBytes(&line, trp.data(), trp.size());
    EXPECT_EQ(TextOf(line), "12245H27500  ");
    EXPECT_EQ(line.Position, 11);
    EXPECT_EQ(Parse(TextOf(line)).Result, Accepted);

    auto load = [](const std::string& bytes) {
        EntryLine l;
        std::vector<uint8_t> exact(bytes.begin(), bytes.end());
        LoadDefaultEntryBytes(&l, exact.data(), exact.size());
        return l;
    };
    line = load("12;45;789");
    EXPECT_EQ(TextOf(line), "12;45        ");
    EXPECT_EQ(line.Position, 5);
    line = load("1234567890123;");  // the ';' is the 14th byte: not examined
    EXPECT_EQ(TextOf(line), std::string(13, ' '));
    EXPECT_EQ(line.Position, 0);
    line = load("12;4567890123;");
    EXPECT_EQ(line.Position, 2);
    line = load("123456789012;");  // ';' as the 13th byte fills the line
    EXPECT_EQ(TextOf(line), "123456789012 ");
    EXPECT_EQ(line.Position, 12);
    line = load("12245H27500");
    EXPECT_EQ(line.Position, 0);
    EXPECT_EQ(TextOf(line), std::string(13, ' '));
    line = load(";");
    EXPECT_EQ(line.Position, 0);
    line = load("");
    EXPECT_EQ(line.Position, 0);
    LoadDefaultEntryBytes(&line, nullptr, 0);
    EXPECT_EQ(line.Position, 0);
}

TEST(EntryParse, AcceptedLines) {
    Parsed p = Parse("12245H27500", Transponder{0, 1, 0, 5});
    ASSERT_EQ(p.Result, Accepted);
    EXPECT_EQ(p.T.Frequency, 12245);
    EXPECT_EQ(p.T.Polarisation, 0);
    EXPECT_EQ(p.T.SymbolRate, 27500);
    EXPECT_EQ(p.T.Diseqc, 0);
    EXPECT_EQ(p.Caption, std::string(8, ' ') + "12245H27500" + std::string(13, ' '));

    p = Parse("3740V29270");
    ASSERT_EQ(p.Result, Accepted);
    EXPECT_EQ(p.T.Frequency, 3740);
    EXPECT_EQ(p.T.Polarisation, 1);
    EXPECT_EQ(p.T.SymbolRate, 29270);
    EXPECT_EQ(p.T.Diseqc, 0);

    p = Parse("3719H4167");
    ASSERT_EQ(p.Result, Accepted);
    EXPECT_EQ(p.T.Frequency, 3719);
    EXPECT_EQ(p.T.SymbolRate, 4167);

    p = Parse("3740V29270AB");
    ASSERT_EQ(p.Result, Accepted);
    EXPECT_EQ(p.T.Diseqc, 5);
    EXPECT_EQ(p.Caption, std::string(8, ' ') + "3740V29270AB " + std::string(11, ' '));

    p = Parse("11743H8000B");
    ASSERT_EQ(p.Result, Accepted);
    EXPECT_EQ(p.T.SymbolRate, 8000);
    EXPECT_EQ(p.T.Diseqc, 2);

    p = Parse("12245H27500AA");
    ASSERT_EQ(p.Result, Accepted);
    EXPECT_EQ(p.T.Diseqc, 3);
    EXPECT_EQ(p.Caption, std::string(8, ' ') + "12245H27500AA" + std::string(11, ' '));

    // c[10] is no DiSEqC start, c[11] is: the trailing H ends the number.
    p = Parse("12245H2750H");
    ASSERT_EQ(p.Result, Accepted);
    EXPECT_EQ(p.T.SymbolRate, 2750);
    EXPECT_EQ(p.T.Polarisation, 0);

    p = Parse("12245H+2750");  // sign allowed by the conversion rule
    ASSERT_EQ(p.Result, Accepted);
    EXPECT_EQ(p.T.SymbolRate, 2750);
}

TEST(EntryParse, DiseqcTable) {
    struct Case { const char* Letters; int32_t Code; };
    const Case accepted[] = {{"", 0}, {"A", 1}, {"B", 2}, {"AA", 3}, {"BA", 4}, {"AB", 5}, {"BB", 6}};
    for (const Case& c : accepted) {
        for (const std::string base : {"12245H27500", "3740V2927", "11743V8000", "3719H4167"}) {
            const Parsed p = Parse(base + c.Letters, Transponder{0, 0, 0, 9});
            EXPECT_EQ(p.Result, Accepted) << base << c.Letters;
            EXPECT_EQ(p.T.Diseqc, c.Code) << base << c.Letters;
        }
    }
    for (const char* pair : {"AH", "BV", "A1", "B0", "AC"}) {
        const Parsed p = Parse(std::string("12245H27500") + pair, Transponder{0, 0, 0, 9});
        EXPECT_EQ(p.Result, Rejected) << pair;
        EXPECT_EQ(p.T.Diseqc, 9) << pair;
    }
}

TEST(EntryParse, RefusedLines) {
    for (const char* line : {"12245H27500AH", "12245H275001", "374V29270", "4000H", "12245H999", "", "12245",
                             "12245A27500", "3740H292701", "1224H27500", "12245H2750HH"}) {
        EXPECT_EQ(Parse(line).Result, Rejected) << '"' << line << '"';
    }
    // A blank line and lines whose letter is lower case.
    EXPECT_EQ(Parse("12245h27500").Result, Rejected);
    EXPECT_EQ(Parse("3740v29270").Result, Rejected);
}

TEST(EntryParse, Bounds) {
    for (const char* ok : {"3400H27500", "4200H27500", "10700H27500", "15000H27500", "12000H1000", "12000H45000",
                           "3400V1000", "4200V45000"}) {
        EXPECT_EQ(Parse(ok).Result, Accepted) << ok;
    }
    for (const char* bad : {"3399H27500", "4201H27500", "10699H27500", "15001H27500", "12000H0999",
                            "12000H45001", "3400V0999", "4200V45001", "12000H-2750"}) {
        EXPECT_EQ(Parse(bad).Result, Rejected) << bad;
    }
    // A 5-digit value in the 4-digit form, and the other way round.
    EXPECT_EQ(Parse("1200H27500").Result, Rejected);
    EXPECT_EQ(Parse("03740H29270").Result, Rejected);
}

TEST(EntryParse, OrderOfEffects) {
    const Transponder start{11111, 1, 22222, 6};
    // Refused at the frequency: only the frequency is stored.
    Parsed p = Parse("10699H27500A", start);
    EXPECT_EQ(p.Result, Rejected);
    EXPECT_EQ(p.T.Frequency, 10699);
    EXPECT_EQ(p.T.Diseqc, 6);
    EXPECT_EQ(p.T.SymbolRate, 22222);
    EXPECT_EQ(p.T.Polarisation, 1);
    EXPECT_EQ(p.Caption, std::string(32, '#'));

    // Refused at the DiSEqC pair: frequency stored, DiSEqC and rate not.
    p = Parse("12245H27500AH", start);
    EXPECT_EQ(p.Result, Rejected);
    EXPECT_EQ(p.T.Frequency, 12245);
    EXPECT_EQ(p.T.Diseqc, 6);
    EXPECT_EQ(p.T.SymbolRate, 22222);

    // Refused at the symbol rate, after the DiSEqC letters were read: the
    // DiSEqC code stays changed.
    p = Parse("12245H0999A", start);
    EXPECT_EQ(p.Result, Rejected);
    EXPECT_EQ(p.T.Frequency, 12245);
    EXPECT_EQ(p.T.Diseqc, 1);
    EXPECT_EQ(p.T.SymbolRate, 999);
    EXPECT_EQ(p.T.Polarisation, 1) << "polarisation only on success";
    EXPECT_EQ(p.Caption, std::string(32, '#')) << "caption only on success";

    p = Parse("4000H", start);
    EXPECT_EQ(p.Result, Rejected);
    EXPECT_EQ(p.T.Frequency, 4000);
    EXPECT_EQ(p.T.Diseqc, 0);
    EXPECT_EQ(p.T.SymbolRate, 0);

    // Refused in the form: nothing changes.
    p = Parse("374V29270", start);
    EXPECT_EQ(p.T.Frequency, 11111);
    EXPECT_EQ(p.T.Diseqc, 6);
}
