// The satellite list maker: its rules on small tables made here, the
// committed list as what it makes of the committed table, and a list made
// from another date's table keeping every rule against that table, read
// back by the program's own list code.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <vector>

#include "listmaker/list_line.h"
#include "listmaker/list_report.h"
#include "listmaker/make_list.h"
#include "transponder/satellite_list.h"

namespace {

struct Kind {
    int System;
    int Modulation;
};
constexpr Kind kQpsk{0, 1}, kS2Qpsk{1, 1}, kS28psk{1, 2}, kS216apsk{1, 4};

std::string Tp(long khz, long sps, int pol = 0, Kind kind = kQpsk, const std::string& extra = "") {
    return "<transponder frequency=\"" + std::to_string(khz) + "\" symbol_rate=\"" + std::to_string(sps) +
           "\" polarization=\"" + std::to_string(pol) + "\" fec_inner=\"3\" system=\"" + std::to_string(kind.System) +
           "\" modulation=\"" + std::to_string(kind.Modulation) + "\"" + extra + " />";
}

std::string Sat(const std::string& name, const std::string& position, const std::string& transponders) {
    return "<sat name=\"" + name + "\" flags=\"1\" position=\"" + position + "\">" + transponders + "</sat>";
}

std::string Xml(const std::string& sats) {
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?><satellites>" + sats + "</satellites>";
}

std::string Builtin(const std::vector<std::string>& lines) {
    std::string text;
    for (const std::string& line : lines) text += line + "\r\n";
    return text + "\r\n";
}

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

struct Made {
    MadeList List;
    bool Ok = false;
    std::string Error;
    std::vector<std::string> Lines;

    // The one line whose name ends with the position, or "" (none, or several).
    std::string At(const std::string& position) const {
        std::string found;
        int count = 0;
        for (const std::string& line : Lines)
            if (line.substr(0, line.find(']')).size() >= position.size() + 3 &&
                line.substr(0, line.find(']')).compare(line.find(']') - position.size() - 3, std::string::npos,
                                                       "   " + position) == 0)
                found = line, ++count;
        return count == 1 ? found : "";
    }
};

Made Make(const std::string& xml, const std::string& builtin = "\r\n", size_t maxEntries = kMaxListEntries) {
    Made made;
    made.Ok = MakeSatelliteList(xml, builtin, maxEntries, &made.List, &made.Error);
    const std::string& text = made.List.Text;
    for (size_t at = 0, end; (end = text.find("\r\n", at)) != std::string::npos && end > at; at = end + 2)
        made.Lines.push_back(text.substr(at, end - at));
    return made;
}

std::vector<BuiltinFate> Fates(const Made& made) {
    std::vector<BuiltinFate> fates;
    for (const BuiltinOutcome& outcome : made.List.Plan.Builtins) fates.push_back(outcome.Fate);
    return fates;
}

void CollectName(void* context, const char* text, size_t length) {
    static_cast<std::vector<std::string>*>(context)->emplace_back(text, length);
}

// Read back by the program's own list code: one drop-down item and one
// accepted entry per line, with the line's values.
void ExpectTheProgramReadsIt(const std::string& text, const std::vector<std::string>& lines) {
    std::vector<uint8_t> bytes(text.begin(), text.end());
    std::vector<std::string> names;
    ListSatelliteNames(bytes.data(), bytes.size(), CollectName, &names);
    ASSERT_EQ(names.size(), lines.size());
    for (int32_t k = 0; k < static_cast<int32_t>(lines.size()); ++k) {
        Transponder t{};
        char caption[32];
        ListLine line;
        ASSERT_TRUE(ParseListLine(lines[k], &line)) << lines[k];
        ASSERT_EQ(ReadSatelliteEntryBytes(bytes.data(), bytes.size(), k, &t, caption), EntryOk) << lines[k];
        EXPECT_EQ(t.Frequency, line.Mhz) << lines[k];
        EXPECT_EQ(t.SymbolRate, line.Ksym) << lines[k];
        EXPECT_EQ(t.Polarisation, line.Letter == 'v' ? 1 : 0) << lines[k];
        EXPECT_EQ(std::string(caption, 32).find_last_not_of(' ') + 1, lines[k].find(']') - 1) << "the whole name";
    }
}

// The line's transponder in its slot: the best rank among the tunable ones
// with its values (several may share them); -1 when there is none.
int RankInSlot(const TableSlot& slot, const ListLine& line, bool* t2mi) {
    int best = -1;
    for (const TableTransponder& t : slot.Transponders) {
        if (!t.Tunable || t.Mhz != line.Mhz || t.Ksym != line.Ksym || PolarisationLetter(t.Polarisation) != line.Letter)
            continue;
        if (best < 0 || t.Rank < best || (t.Rank == best && !t.T2mi)) best = t.Rank, *t2mi = t.T2mi;
    }
    return best;
}

// No tunable transponder of the same band ranks better by modulation, or
// by a T2-MI feed at the same modulation.
void ExpectBestOfItsBand(const TableSlot& slot, const std::string& entry, const ListLine& line, int rank, bool t2mi) {
    for (const TableTransponder& t : slot.Transponders) {
        if (!t.Tunable || (t.Mhz <= 4200) != (line.Mhz <= 4200)) continue;
        EXPECT_GE(t.Rank, rank) << entry << ": DVB-S QPSK, then DVB-S2 QPSK, then 8PSK";
        EXPECT_FALSE(t.Rank == rank && t2mi && !t.T2mi) << entry << ": a T2-MI feed ranks below";
    }
}

// What every made list keeps against the table it was made from.
void ExpectTheRulesKept(const Made& made) {
    const std::string& text = made.List.Text;
    ASSERT_TRUE(made.Ok) << made.Error;
    EXPECT_TRUE(text.size() > 5 && text.compare(text.size() - 5, 5, ";\r\n\r\n") == 0) << "one empty line at the end";
    EXPECT_EQ(text.find('\n'), text.find("\r\n") + 1) << "CR LF";
    EXPECT_TRUE(std::is_sorted(made.Lines.begin(), made.Lines.end(), ListLineBefore));
    std::set<int64_t> slots;
    for (const std::string& entry : made.Lines) {
        ListLine line;
        ASSERT_TRUE(ParseListLine(entry, &line)) << entry;
        const std::string name = entry.substr(1, entry.find(']') - 1);
        EXPECT_LE(name.size(), 31u) << entry << ": names of at most 31 characters";
        EXPECT_EQ(name.substr(name.size() - PositionText(line.Tenths).size() - 3), "   " + PositionText(line.Tenths));
        EXPECT_EQ(name.find_first_of("[;"), std::string::npos) << entry;
        EXPECT_LE(entry.size() - entry.find(']') - 2, 12u) << entry << ": the reader takes 11 characters";
        EXPECT_TRUE(slots.insert(line.Tenths).second) << "one entry a slot: " << entry;
        ASSERT_TRUE(made.List.Table.Slots.count(line.Tenths)) << entry;
        const TableSlot& slot = made.List.Table.Slots.at(line.Tenths);
        bool t2mi = false;
        const int rank = RankInSlot(slot, line, &t2mi);
        ASSERT_GE(rank, 0) << entry << ": a transponder of the data the program can tune";
        ExpectBestOfItsBand(slot, entry, line, rank, t2mi);
    }
    ExpectTheProgramReadsIt(text, made.Lines);
    ExpectTheProgramReadsIt(text + ListOriginNote(made.List.Table.Date), made.Lines);
}

// Every built-in slot that still has something to tune within two tenths
// is covered, unless an earlier built-in entry took that slot or the list
// is full.
void ExpectBuiltinSlotsCovered(const Made& made) {
    std::set<int64_t> taken;
    for (const BuiltinOutcome& outcome : made.List.Plan.Builtins) {
        switch (outcome.Fate) {
        case BuiltinCovered: EXPECT_TRUE(taken.insert(outcome.Slot).second); break;
        case BuiltinSlotTaken: EXPECT_TRUE(taken.count(outcome.Slot)); break;
        case BuiltinNothingToTune: EXPECT_EQ(made.List.Table.Slots.at(outcome.Slot).Tunable, 0u); break;
        case BuiltinListFull: EXPECT_GE(made.List.Plan.Entries.size(), kMaxListEntries); break;
        case BuiltinNotInData: EXPECT_FALSE(outcome.HasSlot); break;
        }
    }
}

// A list made from a table file against the built-in list, as the program
// makes it.
Made MakeAgainstTheBuiltInList(const std::string& tablePath) {
    return Make(ReadFile(tablePath), ReadFile(ZENTRIK_RESOURCES_DIR "/satellite_default.ini"));
}

// What every list made against the built-in list keeps; its figures, for
// what a table of its own adds.
ListFigures ExpectAWholeList(const Made& made) {
    const ListFigures f = CountListFigures(made.List.Table, made.List.Plan, made.List.Text);
    EXPECT_EQ(f.Present, f.Entries) << "every entry is a transponder of the data at its slot";
    ExpectTheRulesKept(made);
    ExpectBuiltinSlotsCovered(made);
    return f;
}

}  // namespace

TEST(ListMaker, ModulationOrderThenFeedThenWidthThenPolarisation) {
    const Made made = Make(Xml(
        Sat("13.0E Hotbird", "130",
            Tp(11000000, 30000000, 0, kS28psk) + Tp(11100000, 30000000, 0, kS2Qpsk) + Tp(11200000, 5000000, 1) +
                Tp(11300000, 27500000, 1) + Tp(10800000, 30000000, 0, kS216apsk)) +
        Sat("19.2E Astra", "192", Tp(11000000, 30000000, 0, kS28psk) + Tp(11500000, 22000000, 1, kS2Qpsk)) +
        Sat("23.5E Only 8PSK", "235", Tp(12000000, 27500000, 1, kS28psk) + Tp(11000000, 30000000, 0, kS216apsk)) +
        Sat("28.2E Only 16APSK", "282", Tp(11000000, 30000000, 0, kS216apsk)) +
        Sat("1.9E Left", "19", Tp(12000000, 30000000, 2)) + Sat("3.0E Right", "30", Tp(12100000, 30000000, 3)) +
        Sat("4.8E Both", "48", Tp(11000000, 30000000, 2) + Tp(12500000, 30000000, 1)) +
        Sat("9.0E Feeds", "90", Tp(10800000, 30000000, 0, kQpsk, " t2mi_plp_id=\"1\"") + Tp(12600000, 27500000, 1)) +
        Sat("16.0E Feed", "160", Tp(10800000, 30000000, 0, kQpsk, " t2mi_pid=\"64\"") + Tp(10900000, 30000000, 0, kS28psk))));
    ASSERT_TRUE(made.Ok) << made.Error;
    EXPECT_EQ(made.At("13.0e"), "[Hotbird   13.0e]=11300v27500;") << "DVB-S wide, not the lower narrow one";
    EXPECT_EQ(made.At("19.2e"), "[Astra   19.2e]=11500v22000;");
    EXPECT_EQ(made.At("23.5e"), "[Only 8PSK   23.5e]=12000v27500;");
    EXPECT_EQ(made.At("28.2e"), "") << "a slot with nothing to tune has no entry";
    EXPECT_EQ(made.At("1.9e"), "[Left   1.9e]=12000h30000;") << "circular left is h";
    EXPECT_EQ(made.At("3.0e"), "[Right   3.0e]=12100v30000;") << "circular right is v";
    EXPECT_EQ(made.At("4.8e"), "[Both   4.8e]=12500v30000;") << "linear before circular";
    EXPECT_EQ(made.At("9.0e"), "[Feeds   9.0e]=12600v27500;") << "a T2-MI feed ranks below";
    EXPECT_EQ(made.At("16.0e"), "[Feed   16.0e]=10800h30000;") << "but DVB-S still before DVB-S2";
}

TEST(ListMaker, LeavesOutWhatTheProgramCannotTune) {
    const Made made = Make(Xml(
        Sat("7.0W Edges", "-70",
            Tp(4500000, 30000000) + Tp(19700000, 30000000) + Tp(10699499, 30000000) + Tp(15000501, 30000000) +
                Tp(11000000, 999499) + Tp(11000000, 45000500) + Tp(11000000, 30000000, 0, kQpsk, " is_id=\"1\"") +
                Tp(11100000, 30000000, 0, kQpsk, " pls_mode=\"1\" pls_code=\"262140\"") + Tp(10699500, 4000000, 1) +
                Tp(11000000, 30000000, 7)) +
        Sat("9.0E Ka", "92", Tp(19700000, 30000000))));
    // 10699.5 MHz rounds to 10700, the band's edge; everything else is refused.
    EXPECT_EQ(made.At("7.0w"), "[Edges   7.0w]=10700v4000;");
    EXPECT_EQ(made.At("9.0e"), "");
}

TEST(ListMaker, BuiltinSlotsKeepTheirBandAndFindTheNearestSlotToTune) {
    const Made made = Make(
        Xml(Sat("133.0W C-band Galaxy 33", "-1331", Tp(4150000, 11936000) + Tp(4060000, 30000000, 1, kS28psk)) +
            Sat("133.0W Ku-band Galaxy 33", "-1330", Tp(11980000, 30000000)) +
            Sat("10.0E C-band Eutelsat 10B", "101", Tp(4108000, 27500000)) +
            Sat("10.0E Ku-band Eutelsat 10B", "100", Tp(11221000, 24760000, 1, kS2Qpsk)) +
            Sat("57.0E Ku-band NSS 12", "570", Tp(11000000, 27500000)) + Sat("0.8W Thor", "-8", Tp(10800000, 30000000)) +
            Sat("38.1E Paksat Ka", "381", Tp(19700000, 30000000)) + Sat("38.2E Paksat", "382", Tp(3707000, 27500000)) +
            Sat("45.3E Too far", "453", Tp(11000000, 27500000)) + Sat("60.0E Ka only", "600", Tp(19700000, 27500000))),
        Builtin({"[Galaxy1R   133.0w]=4020v29270;", "[Eutelsat W1   10.0e]=11607h27500;", "[NSS 703   57.0e]=3980v28000;",
                 "[Thor 2/3   1.0w]=3912v8022;", "[Paksat1   38.0e]=4049h6500;", "[Old   45.0e]=11000h27500;",
                 "[Twin   57.1e]=11000h27500;", "[Ka   60.0e]=11000h27500;"}),
        5);
    ASSERT_TRUE(made.Ok) << made.Error;
    EXPECT_EQ(made.At("133.0w"), "[Galaxy 33   133.0w]=4150h11936;") << "C band stays C band";
    EXPECT_EQ(made.At("10.0e"), "[Eutelsat 10B   10.0e]=11221v24760;") << "Ku band stays Ku band";
    EXPECT_EQ(made.At("57.0e"), "[NSS 12   57.0e]=11000h27500;") << "Ku where the data has no C band";
    EXPECT_EQ(made.At("0.8w"), "[Thor   0.8w]=10800h30000;");
    EXPECT_EQ(made.At("38.2e"), "[Paksat   38.2e]=3707h27500;") << "the nearest slot with something to tune";
    EXPECT_EQ(made.Lines.size(), 5u) << "one entry per slot; the cap of 5 leaves 45.3E out";
    EXPECT_EQ(Fates(made), (std::vector<BuiltinFate>{BuiltinCovered, BuiltinCovered, BuiltinCovered, BuiltinCovered,
                                                     BuiltinCovered, BuiltinNotInData, BuiltinSlotTaken,
                                                     BuiltinNothingToTune}));
}

TEST(ListMaker, FurtherSlotsBusiestFirstAndTheCapHoldsForBuiltinSlotsToo) {
    std::string sats;
    for (int d = 1; d <= 8; ++d) {
        std::string transponders;
        for (int k = 0; k < d; ++k) transponders += Tp(11000000 + 10000 * k, 27500000);
        sats += Sat(std::to_string(d) + ".0E S" + std::to_string(d), std::to_string(d * 10), transponders);
    }
    Made made = Make(Xml(sats), Builtin({"[Built   2.0e]=11000h27500;"}), 4);
    std::vector<std::string> names;
    for (const std::string& line : made.Lines) names.push_back(line.substr(0, line.find(']')));
    EXPECT_EQ(names, (std::vector<std::string>{"[S2   2.0e", "[S6   6.0e", "[S7   7.0e", "[S8   8.0e"}));

    made = Make(Xml(sats), Builtin({"[A   1.0e]=11000h27500;", "[B   2.0e]=11000h27500;", "[C   3.0e]=11000h27500;"}), 2);
    EXPECT_EQ(made.Lines.size(), 2u);
    EXPECT_EQ(Fates(made), (std::vector<BuiltinFate>{BuiltinCovered, BuiltinCovered, BuiltinListFull}));
}

TEST(ListMaker, NamesAreWhatTheCaptionShowsAndNeverNothing) {
    const Made made = Make(Xml(
        Sat("36.0E Eutelsat 36D &amp; Express AMU1", "360", Tp(12207000, 27500000)) +
        Sat("116.9W Ku-band Eutelsat 117 West A/B", "-1169", Tp(12100000, 30000000, 1)) +
        Sat("42.0E T\xC3\xBCrksat [3A];4A", "420", Tp(11345000, 29750000, 1)) +
        Sat("99.1W C-band Galaxy 16", "-992", Tp(3719000, 4167000)) +
        Sat("108.1E Ku-band Some Very Long Designation Without Parts", "1081", Tp(11481000, 18750000)) +
        Sat("110.5E -/ABCDEFGHIJKLMNOPQRSTUVWXYZabc", "1105", Tp(11000000, 30000000)) +
        Sat("111.5E &amp;&amp;&amp; &amp;&amp;&amp; &amp;&amp;&amp; &amp;&amp;&amp; &amp;&amp;&amp; &amp;&amp;&amp; &amp;&amp;&amp;", "1115",
            Tp(11000000, 30000000)) +
        Sat("2.0E \xEF\xBC\xA1\xEF\xBD\x82 \xEF\xAC\x81ne", "20", Tp(11000000, 30000000)) +
        Sat("5.0E", "50", Tp(11000000, 30000000)) + Sat("Hotbird", "130", Tp(11000000, 30000000))));
    ASSERT_TRUE(made.Ok) << made.Error;
    EXPECT_EQ(made.At("36.0e"), "[Eutelsat 36D   36.0e]=12207h27500;");
    EXPECT_EQ(made.At("116.9w"), "[Eutelsat 117 West A/B   116.9w]=12100v30000;");
    EXPECT_EQ(made.At("42.0e"), "[Turksat 3A 4A   42.0e]=11345v29750;");
    EXPECT_EQ(made.At("99.1w"), "[Galaxy 16   99.1w]=3719h4167;");
    EXPECT_EQ(made.At("108.1e"), "[Some Very Long   108.1e]=11481h18750;");
    EXPECT_EQ(made.At("110.5e"), "[-/ABCDEFGHIJKLMNOPQRST   110.5e]=11000h30000;") << "a cut that leaves nothing is not made";
    EXPECT_EQ(made.At("111.5e"), "[&&& &&& &&& &&& &&& &&   111.5e]=11000h30000;");
    EXPECT_EQ(made.At("2.0e"), "[Ab fine   2.0e]=11000h30000;") << "compatibility forms as ASCII";
    EXPECT_EQ(made.At("5.0e"), "[Satellite   5.0e]=11000h30000;");
    EXPECT_EQ(made.At("13.0e"), "[Hotbird   13.0e]=11000h30000;") << "no position in the name: the attribute's";
    EXPECT_EQ(ShortenName("--- / ---", 3), "---");
    ExpectTheRulesKept(made);
}

TEST(ListMaker, TheSameTableInAnyOrderGivesTheSameBytes) {
    const std::vector<std::string> sats = {
        Sat("13.0E Hotbird A", "130", Tp(11000000, 30000000)), Sat("13.0E Hotbird B", "130", Tp(11000000, 30000000)),
        Sat("19.2E Astra", "192", Tp(11500000, 22000000, 1) + Tp(11000000, 22000000, 1)),
        Sat("28.2E Astra 2", "282", Tp(10800000, 22000000)), Sat("1.0W Thor", "-10", Tp(10800000, 25000000))};
    const std::string first = Make(Xml(sats[0] + sats[1] + sats[2] + sats[3] + sats[4])).List.Text;
    EXPECT_EQ(Make(Xml(sats[4] + sats[3] + sats[1] + sats[2] + sats[0])).List.Text, first);
    EXPECT_NE(first.find("[Hotbird A   13.0e]=11000h30000;"), std::string::npos) << "ties go by the name";
}

TEST(ListMaker, RefusesWhatCannotMakeAList) {
    const struct { std::string Xml; const char* Says; } refusals[] = {
        {"<satellites><sat name='x'", "cut short"},
        {"<satellites></satellites>", "no <sat>"},
        {Xml(Sat("13.0E Hotbird", "130", "<transponder frequency=\"x\" />")), "without a readable frequency"},
        {Xml(Sat("13.0E Hotbird", "130", "<transponder frequency=\"11000000\" />")), "without a readable symbol_rate"},
        {Xml(Sat("13.0E Hotbird", "192", Tp(11000000, 27500000))), "disagree"},
        {Xml(Sat("13.0E Hotbird", "", Tp(11000000, 27500000))), "no readable position"},
        {Xml(Sat("Far away", "1801", Tp(11000000, 27500000))), "past 180 degrees"},
        {Xml(Sat("13.0E Ka", "130", Tp(19700000, 27500000))), "no satellite in it has a transponder"},
    };
    for (const auto& refusal : refusals) {
        const Made made = Make(refusal.Xml);
        EXPECT_FALSE(made.Ok) << refusal.Xml;
        EXPECT_NE(made.Error.find(refusal.Says), std::string::npos) << made.Error;
    }
    const Made placed = Make("<satellites>\n  <sat name=\"13.0E Hotbird\" position=\"192\"/>\n</satellites>");
    EXPECT_EQ(placed.Error.find("line 2, column 3: 13.0E Hotbird: "), 0u) << placed.Error;
}

TEST(ListMaker, TheCommittedListIsWhatTheCommittedTableMakes) {
    const std::string table = ZENTRIK_SATLIST_TABLE;  // .../satellites-YYYY-MM-DD.xml
    const Made made = MakeAgainstTheBuiltInList(table);
    ASSERT_TRUE(made.Ok) << made.Error;
    EXPECT_EQ(made.List.Text, ReadFile(ZENTRIK_SATLIST_DIR "/satellite.ini"))
        << "satlist/satellite.ini is not what bdaprobe --make-list makes of the table";
    EXPECT_EQ(made.List.Table.Date, table.substr(table.size() - 14, 10)) << "the file's date names it";
    const ListFigures f = ExpectAWholeList(made);
    EXPECT_GE(f.Entries, 100u);
    EXPECT_LE(f.Entries, kMaxListEntries);
    EXPECT_GE(f.Covered * 100, f.Carried * 95);
    EXPECT_GE(f.Qpsk * 100, f.WithQpsk * 90);
    EXPECT_NE(made.List.Text.find("[Hotbird 13F/13G   13.0e]="), std::string::npos);
}

TEST(ListMaker, AListOfAnotherDateKeepsEveryRuleAgainstItsTable) {
    const Made made = MakeAgainstTheBuiltInList(ZENTRIK_TEST_DATA_DIR "/satlist/satellites-2021-10-03-excerpt.xml");
    ASSERT_TRUE(made.Ok) << made.Error;
    EXPECT_EQ(made.List.Table.Date, "2021-10-03");
    EXPECT_EQ(made.List.Table.Slots.size(), 18u) << "28 entries; C, Ku and Ka band of a slot together";
    const ListFigures f = ExpectAWholeList(made);
    EXPECT_EQ(f.Covered, f.Carried) << "every built-in slot the table still has";
    EXPECT_EQ(made.At("105.0w"), "[AMC 15   105.0w]=12035h3979;") << "AMC2's built-in entry is Ku band";
    EXPECT_EQ(made.At("139.0w"), "[AMC 6   139.0w]=4056h13250;");
}

// The same date's eastern slots, from 3.0E to 60.0E: circular polarisation,
// Ka band, T2-MI feeds, and built-in slots a tenth or two from the data's.
TEST(ListMaker, AListOfAnotherDateKeepsEveryRuleAgainstItsEasternSlots) {
    const Made made =
        MakeAgainstTheBuiltInList(ZENTRIK_TEST_DATA_DIR "/satlist/satellites-2021-10-03-eastern-excerpt.xml");
    ASSERT_TRUE(made.Ok) << made.Error;
    EXPECT_EQ(made.List.Table.Date, "2021-10-03");
    EXPECT_EQ(made.List.Table.Slots.size(), 12u) << "18 entries; C, Ku and Ka band of a slot together";
    EXPECT_EQ(made.Lines.size(), 11u) << "every slot but 16.0E, whose Ka band Zentrik cannot tune";
    const ListFigures f = ExpectAWholeList(made);
    EXPECT_EQ(f.Carried, 8u);
    EXPECT_EQ(f.Covered, 7u) << "every built-in slot the table still has, but the Ka band's";
    EXPECT_EQ(made.At("16.0e"), "");
    EXPECT_EQ(made.At("4.8e"), "[Astra 4A & SES 5   4.8e]=11727h27500;") << "the built-in 5.0E finds the slot 0.2 away";
    EXPECT_EQ(made.At("38.1e"), "[Paksat MM1/1R   38.1e]=3760h1003;") << "Paksat's built-in entry is C band";
    EXPECT_EQ(made.At("56.0e"), "[Express AT1   56.0e]=12226h27500;") << "DVB-S QPSK first, circular L as h";
    EXPECT_EQ(made.At("58.5e"), "[KazSat 3   58.5e]=11062v1000;") << "DVB-S2 QPSK before 8PSK, however wide";
}
