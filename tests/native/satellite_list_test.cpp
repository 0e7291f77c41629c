// Reading the satellite list: the drop-down names and one entry's transponder,
// from the shipped default list and from hand-made files with faults in them.
#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "transponder/satellite_list.h"

namespace {

std::vector<uint8_t> ReadBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::vector<uint8_t> DefaultList() { return ReadBytes(ZENTRIK_RESOURCES_DIR "/satellite_default.ini"); }

std::vector<uint8_t> Bytes(const std::string& s) { return std::vector<uint8_t>(s.begin(), s.end()); }

void CollectItem(void* context, const char* text, size_t length) {
    static_cast<std::vector<std::string>*>(context)->emplace_back(text, length);
}

std::vector<std::string> Names(const std::vector<uint8_t>& file) {
    std::vector<std::string> items;
    ListSatelliteNames(file.data(), file.size(), CollectItem, &items);
    return items;
}

std::string Padded(const std::string& s, size_t width) {
    return s.size() < width ? s + std::string(width - s.size(), ' ') : s;
}

struct EntryRead {
    EntryCheck Check;
    Transponder T;
    std::string Caption;
};

// Reads from an exact-size heap copy so that the sanitiser sees any overread.
EntryRead Read(const std::vector<uint8_t>& file, int32_t index, Transponder start = Transponder{}) {
    std::vector<uint8_t> copy(file);
    EntryRead r{EntryOk, start, std::string(32, '#')};
    r.Check = ReadSatelliteEntryBytes(copy.empty() ? nullptr : copy.data(), copy.size(), index, &r.T,
                                      &r.Caption[0]);
    return r;
}

// One entry line and the file's closing empty line.
EntryRead ReadLine(const std::string& line, Transponder start = Transponder{}) {
    return Read(Bytes(line + "\r\n\r\n"), 0, start);
}

// The default list split the plain way, to compare the byte walk against.
std::vector<std::string> DefaultLines() {
    const std::vector<uint8_t> file = DefaultList();
    const std::string text(file.begin(), file.end());
    std::vector<std::string> lines;
    for (size_t at = 0, end; (end = text.find("\r\n", at)) != std::string::npos; at = end + 2)
        lines.push_back(text.substr(at, end - at));
    return lines;
}

}  // namespace

TEST(DefaultList, SizeLinesAndNamesInOrder) {
    const std::vector<uint8_t> file = DefaultList();
    ASSERT_EQ(file.size(), 3516u);
    const std::vector<std::string> lines = DefaultLines();
    ASSERT_EQ(lines.size(), 101u);
    EXPECT_EQ(lines.back(), "");

    const std::vector<std::string> names = Names(file);
    ASSERT_EQ(names.size(), 100u);
    for (size_t i = 0; i < 100; ++i) {
        const std::string& line = lines[i];
        ASSERT_EQ(line.front(), '[');
        const std::string name = line.substr(1, line.find(']') - 1);
        EXPECT_EQ(names[i], Padded(name, 64)) << "entry " << i;
        EXPECT_EQ(names[i].size(), 64u);
    }
    EXPECT_EQ(names[0], Padded("AMC1   103.0w", 64));
    EXPECT_EQ(names[53], Padded("HotBird1-6   13.0e", 64));
    EXPECT_EQ(names[99], Padded("Yamal 102/201 90.0e", 64));
}

TEST(DefaultList, EveryEntryPasses) {
    const std::vector<uint8_t> file = DefaultList();
    const std::vector<std::string> lines = DefaultLines();
    for (int32_t k = 0; k < 100; ++k) {
        Transponder start;
        start.Diseqc = 4;
        const EntryRead r = Read(file, k, start);
        const std::string& line = lines[k];
        const std::string name = line.substr(1, line.find(']') - 1);
        EXPECT_EQ(r.Check, EntryOk) << line;
        EXPECT_EQ(r.Caption, Padded(name.substr(0, 32), 32)) << line;
        const std::string value = line.substr(line.find(']') + 2);
        EXPECT_EQ(r.T.Frequency, std::stoi(value)) << line;
        const size_t letter = value.find_first_not_of("0123456789");
        EXPECT_EQ(r.T.Polarisation, value[letter] == 'v' ? 1 : 0) << line;
        EXPECT_EQ(r.T.SymbolRate, std::stoi(value.substr(letter + 1))) << line;
        EXPECT_EQ(r.T.Diseqc, 4) << "a list entry leaves the DiSEqC code";
    }
}

TEST(DefaultList, NamedEntries) {
    const std::vector<uint8_t> file = DefaultList();
    Transponder start;
    start.Diseqc = 6;
    EntryRead r = Read(file, 53, start);
    EXPECT_EQ(r.Check, EntryOk);
    EXPECT_EQ(r.T.Frequency, 10723);
    EXPECT_EQ(r.T.Polarisation, 0);
    EXPECT_EQ(r.T.SymbolRate, 29900);
    EXPECT_EQ(r.T.Diseqc, 6);
    EXPECT_EQ(r.Caption, "HotBird1-6   13.0e" + std::string(14, ' '));

    r = Read(file, 95);  // the longest name, 33 characters
    EXPECT_EQ(r.Check, EntryOk);
    EXPECT_EQ(r.Caption, "Telecom 2D,Atlantic Bird 2   8.0");
    EXPECT_EQ(r.T.Frequency, 10974);
    EXPECT_EQ(r.T.Polarisation, 1);

    r = Read(file, 2);  // 3719h4167: the window takes ';' and CR too
    EXPECT_EQ(r.Check, EntryOk);
    EXPECT_EQ(r.T.Frequency, 3719);
    EXPECT_EQ(r.T.SymbolRate, 4167);

    r = Read(file, 0);
    EXPECT_EQ(r.Caption, Padded("AMC1   103.0w", 32));
    EXPECT_EQ(r.T.Polarisation, 1);
    EXPECT_EQ(r.T.SymbolRate, 29270);
}

TEST(NameWalk, ItemTextsAndPadding) {
    // A ']' with no '[' since the previous one repeats the previous text.
    EXPECT_EQ(Names(Bytes("[AB]=x]y")), (std::vector<std::string>{Padded("AB", 64), Padded("AB", 64)}));
    // Before any '[' the walk collects from the first byte.
    EXPECT_EQ(Names(Bytes("xy]")), std::vector<std::string>{Padded("xy", 64)});
    EXPECT_TRUE(Names(Bytes("[no end")).empty());
    EXPECT_TRUE(Names({}).empty());
    ListSatelliteNames(nullptr, 0, CollectItem, nullptr);  // never calls back

    const std::string name63(63, 'o'), name64(64, 'n'), name70(70, 'm');
    EXPECT_EQ(Names(Bytes("[" + name63 + "]")), std::vector<std::string>{name63 + " "});
    EXPECT_EQ(Names(Bytes("[" + name64 + "]")), std::vector<std::string>{name64});
    EXPECT_EQ(Names(Bytes("[" + name70 + "]")), std::vector<std::string>{name70});
    // Embedded zero bytes are ordinary characters.
    const std::vector<uint8_t> withZero = {'[', 'A', 0, 'B', ']'};
    EXPECT_EQ(Names(withZero), std::vector<std::string>{Padded(std::string("A\0B", 3), 64)});
}

TEST(NameWalk, LongNamesKeepTheirFirst255Characters) {
    std::string name255;
    for (int i = 0; i < 255; ++i) name255 += static_cast<char>('a' + i % 26);
    EXPECT_EQ(Names(Bytes("[" + name255 + "]")), std::vector<std::string>{name255});
    // 256 and more: the 8-bit length stops at 255 instead of wrapping to 0.
    EXPECT_EQ(Names(Bytes("[" + name255 + "X]")), std::vector<std::string>{name255});
    EXPECT_EQ(Names(Bytes("[" + name255 + std::string(1000, 'Y') + "][ok]")),
              (std::vector<std::string>{name255, Padded("ok", 64)}));
    // The caption of such an entry still takes its first 32 characters.
    const EntryRead r = ReadLine("[" + name255 + std::string(300, 'Z') + "]=12000h27500;");
    EXPECT_EQ(r.Check, EntryOk);
    EXPECT_EQ(r.Caption, name255.substr(0, 32));
}

TEST(EntryValue, LettersAndWindow) {
    EntryRead r = ReadLine("[A]=11720V26000;");
    EXPECT_EQ(r.Check, EntryOk);
    EXPECT_EQ(r.T.Polarisation, 1);
    r = ReadLine("[A]=11720H26000;", Transponder{11344, 1, 27500, 0});
    EXPECT_EQ(r.T.Polarisation, 0);
    r = ReadLine("[A]=11720L26000;");
    EXPECT_EQ(r.Check, EntryOk);
    EXPECT_EQ(r.T.Polarisation, 3);
    EXPECT_EQ(r.T.SymbolRate, 26000);
    // Only 11 characters are read.
    r = ReadLine("[A]=12345h100000;");
    EXPECT_EQ(r.Check, EntryOk);
    EXPECT_EQ(r.T.Frequency, 12345);
    EXPECT_EQ(r.T.SymbolRate, 10000);
    // A ';' inside the symbol rate is passed over, not taken as its end.
    r = ReadLine("[A]=12000h27;500");
    EXPECT_EQ(r.Check, EntryOk);
    EXPECT_EQ(r.T.SymbolRate, 2750);
    // Any byte stands as the separator.
    r = ReadLine("[A]:12345h10000;");
    EXPECT_EQ(r.Check, EntryOk);
    EXPECT_EQ(r.T.Frequency, 12345);
}

TEST(EntryValue, FrequencyBounds) {
    for (int f : {3400, 4200, 10700, 15000}) {
        const EntryRead r = ReadLine("[A]=" + std::to_string(f) + "h27500;");
        EXPECT_EQ(r.Check, EntryOk) << f;
        EXPECT_EQ(r.T.Frequency, f);
    }
    for (int f : {3399, 4201, 10699, 15001}) {
        const EntryRead r = ReadLine("[A]=" + std::to_string(f) + "v2750;", Transponder{11344, 0, 12345, 2});
        EXPECT_EQ(r.Check, EntryFrequencyBad) << f;
        EXPECT_EQ(r.T.Frequency, f) << "stored before the check";
        EXPECT_EQ(r.T.Polarisation, 1) << "set during the walk";
        EXPECT_EQ(r.T.SymbolRate, 12345) << "not reached";
    }
    // No digits before the letter read as 0.
    const EntryRead r = ReadLine("[A]=h27500;");
    EXPECT_EQ(r.Check, EntryFrequencyBad);
    EXPECT_EQ(r.T.Frequency, 0);
    EXPECT_EQ(r.T.Polarisation, 0);
}

TEST(EntryValue, SymbolRateBoundsAndSigns) {
    for (int s : {1000, 45000}) {
        const EntryRead r = ReadLine("[A]=12000h" + std::to_string(s) + ";");
        EXPECT_EQ(r.Check, EntryOk) << s;
        EXPECT_EQ(r.T.SymbolRate, s);
    }
    for (int s : {999, 45001}) {
        const EntryRead r = ReadLine("[A]=12000h" + std::to_string(s) + ";");
        EXPECT_EQ(r.Check, EntrySymbolRateBad) << s;
        EXPECT_EQ(r.T.SymbolRate, s) << "stored before the check";
        EXPECT_EQ(r.T.Frequency, 12000);
    }
    // The symbol rate follows the conversion rule: sign and leading blanks.
    EntryRead r = ReadLine("[A]=12000h+2750;");
    EXPECT_EQ(r.Check, EntryOk);
    EXPECT_EQ(r.T.SymbolRate, 2750);
    r = ReadLine("[A]=12000h 2750;");
    EXPECT_EQ(r.Check, EntryOk);
    EXPECT_EQ(r.T.SymbolRate, 2750);
    r = ReadLine("[A]=12000h-2750;");
    EXPECT_EQ(r.Check, EntrySymbolRateBad);
    EXPECT_EQ(r.T.SymbolRate, -2750);
    // A '+' in the frequency is a polarisation character, not a sign.
    r = ReadLine("[A]=+12000h2750;");
    EXPECT_EQ(r.Check, EntryFrequencyBad);
    EXPECT_EQ(r.T.Frequency, 0);
    EXPECT_EQ(r.T.Polarisation, 3);
}

TEST(EntryValue, FieldsKeepEightCharacters) {
    // Eleven digits and no letter: the ninth digit on is dropped.
    const EntryRead r = ReadLine("[A]=12345678901;", Transponder{11344, 1, 27500, 0});
    EXPECT_EQ(r.Check, EntryFrequencyBad);
    EXPECT_EQ(r.T.Frequency, 12345678);
    EXPECT_EQ(r.T.Polarisation, 1) << "no letter in the window";
}

TEST(EntryLocation, LfOnlyLineEndsShiftCaptions) {
    const std::vector<uint8_t> file =
        Bytes("[AMC1   103.0w]=3740v29270;\n[AMC2   105.0w]=11720v26000;\n[AMC3   87.0w]=3719h4167;\n\n");
    EXPECT_EQ(Names(file), (std::vector<std::string>{Padded("AMC1   103.0w", 64), Padded("AMC2   105.0w", 64),
                                                     Padded("AMC3   87.0w", 64)}));
    EntryRead r = Read(file, 0);
    EXPECT_EQ(r.Check, EntryOk);
    EXPECT_EQ(r.Caption, Padded("AMC1   103.0w", 32));
    r = Read(file, 1);
    EXPECT_EQ(r.Check, EntryOk);
    EXPECT_EQ(r.Caption, Padded("MC2   105.0w", 32));
    EXPECT_EQ(r.T.Frequency, 11720);
    EXPECT_EQ(r.T.SymbolRate, 26000);
    r = Read(file, 2);
    EXPECT_EQ(r.Check, EntryOk);
    EXPECT_EQ(r.Caption, Padded("MC3   87.0w", 32));
    EXPECT_EQ(r.T.SymbolRate, 4167);
}

TEST(EntryLocation, BadDataEndsAsMissing) {
    const Transponder start{12000, 1, 22000, 3};
    auto unchanged = [&](const EntryRead& r) {
        return r.T.Frequency == start.Frequency && r.T.Polarisation == start.Polarisation &&
               r.T.SymbolRate == start.SymbolRate && r.T.Diseqc == start.Diseqc;
    };
    // No data at all.
    EntryRead r = Read({}, 0, start);
    EXPECT_EQ(r.Check, EntryMissing);
    EXPECT_TRUE(unchanged(r));
    // A negative selection touches nothing, not even the caption.
    r = Read(DefaultList(), -1, start);
    EXPECT_EQ(r.Check, EntryMissing);
    EXPECT_EQ(r.Caption, std::string(32, '#'));
    EXPECT_TRUE(unchanged(r));
    // A selection beyond the entries: blank caption, Transponder untouched.
    const std::vector<uint8_t> two = Bytes("[A]=12000h27500;\r\n[B]=3740v29270;\r\n\r\n");
    EXPECT_EQ(Read(two, 1, start).Check, EntryOk);
    for (int32_t k : {3, 1000, INT32_MAX}) {
        r = Read(two, k, start);
        EXPECT_EQ(r.Check, EntryMissing) << k;
        EXPECT_EQ(r.Caption, std::string(32, ' ')) << k;
        EXPECT_TRUE(unchanged(r)) << k;
    }
    // Selection 2 finds the last ';'; its "name" is the closing empty line's
    // LF, copied as far as the data goes, and no ']' follows.
    r = Read(two, 2, start);
    EXPECT_EQ(r.Check, EntryMissing);
    EXPECT_EQ(r.Caption, "\n" + std::string(31, ' '));
    EXPECT_TRUE(unchanged(r));
    EXPECT_EQ(Read(DefaultList(), 100, start).Check, EntryMissing);
    // The file ends inside the name, or right after the ']'.
    for (const char* cut : {"[", "[Astra", "[Astra]", "[Astra]="}) {
        r = Read(Bytes(cut), 0, start);
        EXPECT_EQ(r.Check, EntryMissing) << cut;
        EXPECT_TRUE(unchanged(r)) << cut;
    }
    // The file ends inside the 11-character window: ten bytes are missing one.
    r = Read(Bytes("[A]=12000h2750"), 0, start);
    EXPECT_EQ(r.Check, EntryMissing);
    EXPECT_EQ(r.Caption, Padded("A", 32));
    EXPECT_TRUE(unchanged(r));
    r = Read(Bytes("[A]=12000h27500"), 0, start);  // exactly eleven: read as usual
    EXPECT_EQ(r.Check, EntryOk);
    EXPECT_EQ(r.T.SymbolRate, 27500);
    // A second entry whose name lies past the end after its ';'.
    r = Read(Bytes("[A]=12000h27500;\r\n"), 1, start);
    EXPECT_EQ(r.Check, EntryMissing);
    // Garbage without any ']' and zero bytes.
    r = Read(std::vector<uint8_t>(40, 0), 0, start);
    EXPECT_EQ(r.Check, EntryMissing);
    EXPECT_TRUE(unchanged(r));
    r = Read(Bytes(";;;;;;;;"), 3, start);
    EXPECT_EQ(r.Check, EntryMissing);
}

namespace {

// Entry i of a generated list: names of 2 to 57 characters, Ku-band values
// of 11 characters, and every third one a 4-digit symbol rate.
std::string GeneratedName(int i) { return "S" + std::to_string(i) + std::string(i % 50, '.') + "e"; }
int GeneratedFrequency(int i) { return 10700 + i % 4301; }
int GeneratedPolarisation(int i) { return i % 2; }
int GeneratedSymbolRate(int i) { return i % 3 == 0 ? 1000 + i % 9000 : 10000 + i % 35001; }

std::vector<uint8_t> GeneratedList(int count) {
    std::string text;
    for (int i = 0; i < count; ++i)
        text += "[" + GeneratedName(i) + "]=" + std::to_string(GeneratedFrequency(i)) +
                (GeneratedPolarisation(i) ? "V" : "h") + std::to_string(GeneratedSymbolRate(i)) + ";\r\n";
    text += "\r\n";
    return Bytes(text);
}

}  // namespace

TEST(LargeFiles, HundredFiftyThousandEntries) {
    const int count = 150000;
    const std::vector<uint8_t> file = GeneratedList(count);
    ASSERT_GT(file.size(), 6000000u);

    const std::vector<std::string> names = Names(file);
    ASSERT_EQ(names.size(), size_t(count));
    for (int i = 0; i < count; ++i) ASSERT_EQ(names[i], Padded(GeneratedName(i), 64)) << "entry " << i;
    EXPECT_EQ(names[0], Padded("S0e", 64));
    EXPECT_EQ(names[count - 1], Padded("S149999" + std::string(49, '.') + "e", 64));

    for (int k : {0, 1, count / 2, count - 1000, count - 2, count - 1}) {
        const EntryRead r = Read(file, k, Transponder{11344, 0, 27500, 5});
        EXPECT_EQ(r.Check, EntryOk) << k;
        EXPECT_EQ(r.Caption, Padded(GeneratedName(k).substr(0, 32), 32)) << k;
        EXPECT_EQ(r.T.Frequency, GeneratedFrequency(k)) << k;
        EXPECT_EQ(r.T.Polarisation, GeneratedPolarisation(k)) << k;
        EXPECT_EQ(r.T.SymbolRate, GeneratedSymbolRate(k)) << k;
        EXPECT_EQ(r.T.Diseqc, 5) << k;
    }
    // The last entry worked out by hand: 10700 + 149999 % 4301 = 10700 + 3765,
    // odd so vertical, 10000 + 149999 % 35001 = 10000 + 9995.
    const EntryRead last = Read(file, count - 1);
    EXPECT_EQ(last.T.Frequency, 14465);
    EXPECT_EQ(last.T.Polarisation, 1);
    EXPECT_EQ(last.T.SymbolRate, 19995);
    EXPECT_EQ(last.Caption, "S149999" + std::string(25, '.'));
    // One past the last ';' is the closing empty line, then nothing.
    EXPECT_EQ(Read(file, count, Transponder{}).Check, EntryMissing);
    EXPECT_EQ(Read(file, count + 1, Transponder{}).Check, EntryMissing);
}

TEST(LargeFiles, MegabytesOfOneUnbrokenName) {
    std::string name;
    for (int i = 0; i < 6000000; ++i) name += static_cast<char>('a' + i % 23);
    const Transponder start{12000, 1, 22000, 3};

    // Never closed: no item, and no entry to read.
    const std::vector<uint8_t> open = Bytes("[" + name);
    EXPECT_TRUE(Names(open).empty());
    EXPECT_TRUE(Names(Bytes(name)).empty());  // nor without the '['
    for (int32_t k : {0, 1}) {
        const EntryRead r = Read(open, k, start);
        EXPECT_EQ(r.Check, EntryMissing) << k;
        EXPECT_EQ(r.T.Frequency, start.Frequency) << k;
        EXPECT_EQ(r.T.Polarisation, start.Polarisation) << k;
        EXPECT_EQ(r.T.SymbolRate, start.SymbolRate) << k;
    }

    // Closed and followed by an ordinary entry: the item keeps the first 255
    // characters, the caption the first 32, and the next entry is unaffected.
    const std::vector<uint8_t> closed = Bytes("[" + name + "]=12000h27500;\r\n[B]=3740v29270;\r\n\r\n");
    EXPECT_EQ(Names(closed), (std::vector<std::string>{name.substr(0, 255), Padded("B", 64)}));
    EntryRead r = Read(closed, 0, start);
    EXPECT_EQ(r.Check, EntryOk);
    EXPECT_EQ(r.Caption, name.substr(0, 32));
    EXPECT_EQ(r.T.Frequency, 12000);
    EXPECT_EQ(r.T.Polarisation, 0);
    EXPECT_EQ(r.T.SymbolRate, 27500);
    r = Read(closed, 1, start);
    EXPECT_EQ(r.Check, EntryOk);
    EXPECT_EQ(r.Caption, Padded("B", 32));
    EXPECT_EQ(r.T.Frequency, 3740);
    EXPECT_EQ(r.T.Polarisation, 1);
    EXPECT_EQ(r.T.SymbolRate, 29270);
}
