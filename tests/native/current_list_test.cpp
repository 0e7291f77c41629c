// The current satellite list shipped beside the program: every entry read by
// the program's own list code, and found again in the transponder table it
// was made from, at the position its name ends with.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <tuple>
#include <vector>

#include "transponder/satellite_list.h"

namespace {

std::string ReadText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// (position in tenths, west negative; MHz; 0 h or 1 v; ksym/s)
using TableEntry = std::tuple<int, int, int, int>;

std::string Attribute(const std::string& line, const std::string& name) {
    const size_t at = line.find(" " + name + "=\"");
    if (at == std::string::npos) return "";
    const size_t from = at + name.size() + 3;
    return line.substr(from, line.find('"', from) - from);
}

// "13.0E Hotbird 13F/13G" -> 130, "133.0W C-band Galaxy 33" -> -1330.
bool PositionOfText(const std::string& text, int* tenths) {
    char* end = nullptr;
    const double degrees = std::strtod(text.c_str(), &end);
    if (end == text.c_str() || (*end != 'E' && *end != 'W' && *end != 'e' && *end != 'w')) return false;
    const int value = static_cast<int>(degrees * 10 + 0.5);
    *tenths = (*end == 'W' || *end == 'w') ? -value : value;
    return true;
}

// The table's transponders under the position their satellite's name begins
// with; circular left counted as h and right as v, as the list writes them.
std::set<TableEntry> ReadTable(const std::string& xml) {
    std::set<TableEntry> table;
    int slot = 0;
    bool inSlot = false;
    for (size_t at = 0, end; (end = xml.find('\n', at)) != std::string::npos; at = end + 1) {
        const std::string line = xml.substr(at, end - at);
        if (line.find("<sat ") != std::string::npos) {
            inSlot = PositionOfText(Attribute(line, "name"), &slot);
        } else if (inSlot && line.find("<transponder ") != std::string::npos) {
            const long khz = std::atol(Attribute(line, "frequency").c_str());
            const long sps = std::atol(Attribute(line, "symbol_rate").c_str());
            const int pol = std::atoi(Attribute(line, "polarization").c_str());
            table.emplace(slot, static_cast<int>((khz + 500) / 1000), pol % 2, static_cast<int>((sps + 500) / 1000));
        }
    }
    return table;
}

void CollectItem(void* context, const char* text, size_t length) {
    static_cast<std::vector<std::string>*>(context)->emplace_back(text, length);
}

}  // namespace

TEST(CurrentList, EveryEntryIsReadAndIsInTheTableAtItsPosition) {
    const std::string list = ReadText(ZENTRIK_SATLIST_DIR "/satellite.ini");
    const std::set<TableEntry> table = ReadTable(ReadText(ZENTRIK_SATLIST_TABLE));
    ASSERT_GT(table.size(), 3000u) << "the repository's transponder table";
    ASSERT_GE(list.size(), 4u);
    EXPECT_EQ(list.compare(list.size() - 4, 4, "\r\n\r\n"), 0) << "ends with one empty line";
    EXPECT_EQ(list.find('\n'), list.find("\r\n") + 1) << "CR LF line ends";

    std::vector<uint8_t> bytes(list.begin(), list.end());
    std::vector<std::string> names;
    ListSatelliteNames(bytes.data(), bytes.size(), CollectItem, &names);
    ASSERT_GE(names.size(), 100u);
    ASSERT_LE(names.size(), 170u);
    size_t separators = 0;
    for (char c : list) separators += c == ';';
    EXPECT_EQ(separators, names.size()) << "one ';' per entry";

    std::set<int> slots;
    for (int32_t k = 0; k < static_cast<int32_t>(names.size()); ++k) {
        Transponder t;
        t.Diseqc = 5;
        std::string caption(32, '#');
        std::vector<uint8_t> copy(bytes);  // exact size: the sanitiser sees any overread
        ASSERT_EQ(ReadSatelliteEntryBytes(copy.data(), copy.size(), k, &t, &caption[0]), EntryOk) << names[k];
        EXPECT_EQ(t.Diseqc, 5);
        const std::string name = caption.substr(0, caption.find_last_not_of(' ') + 1);
        EXPECT_EQ(names[k].substr(0, name.size()), name);
        EXPECT_EQ(names[k].find_first_not_of(' ', name.size()), std::string::npos)
            << "the whole name fits the caption: " << names[k];
        const size_t gap = name.rfind("   ");
        ASSERT_NE(gap, std::string::npos) << name;
        int position = 0;
        ASSERT_TRUE(PositionOfText(name.substr(gap + 3), &position)) << name;
        EXPECT_TRUE(name.back() == 'e' || name.back() == 'w') << name;
        EXPECT_TRUE(slots.insert(position).second) << "one entry per slot: " << name;
        EXPECT_TRUE(t.Polarisation == 0 || t.Polarisation == 1) << name;
        EXPECT_EQ(table.count(TableEntry(position, t.Frequency, t.Polarisation, t.SymbolRate)), 1u)
            << name << " " << t.Frequency << (t.Polarisation ? 'v' : 'h') << t.SymbolRate;
    }
}
