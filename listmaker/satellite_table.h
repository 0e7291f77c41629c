// An Enigma2 satellites.xml read as the list maker needs it: orbital slots,
// each with its transponders, whether the program can tune them, and the
// names the list shows.
//
// A slot is the orbital position an entry's name begins with ("13.0E Hotbird
// 13F/13G"). Its position attribute carries the band in the last tenth (a
// C-band entry of 133.0W is -1331 beside the Ku-band -1330), so the name, not
// the attribute, says which entries share a slot; an entry whose name gives
// no position takes the attribute's.
#pragma once
#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <vector>

// A position further from the name's than a band's tenth or two cannot be
// told right from wrong; built-in positions find a slot as far away (a
// satellite is replaced a tenth or two beside the old one).
constexpr int64_t kSlotTolerance = 2;  // tenths of a degree

struct TableTransponder {
    int64_t Khz = 0;  // as the file gives them
    int64_t SymbolsPerSecond = 0;
    int64_t Mhz = 0;  // rounded to the nearest, as the list writes them
    int64_t Ksym = 0;
    // Enigma2's: 0 horizontal, 1 vertical, 2 circular left, 3 circular right.
    int64_t Polarisation = 0;
    // 0 DVB-S QPSK, 1 DVB-S2 QPSK, 2 DVB-S2 8PSK; -1 anything else.
    int Rank = -1;
    // It carries a T2-MI feed (t2mi_plp_id or t2mi_pid): often without a
    // NIT or an SDT, so nothing says which satellite it comes from.
    bool T2mi = false;
    // Frequency and symbol rate in the program's ranges, a modulation the
    // list uses, a known polarisation, and no stream or scrambling selection
    // (is_id, pls_code), which the program cannot make.
    bool Tunable = false;
    size_t Designation = 0;  // index into SatelliteTable::Designations
};

struct TableSlot {
    std::vector<TableTransponder> Transponders;  // in file order, tunable or not
    size_t Tunable = 0;
};

struct SatelliteTable {
    std::map<int64_t, TableSlot> Slots;  // by position in tenths, west negative
    // Each entry's designation: band and position taken off, ASCII, single
    // spaces, none of the list's own '[', ']' and ';'.
    std::vector<std::string> Designations;
    // "YYYY-MM-DD" from the comment "File created on ..." the file carries
    // at its head; empty when it has none.
    std::string Date;
};

// Reads a satellites.xml's bytes. False, with the reason and where
// ("line 12, column 3: ..."), for a file that is not well-formed XML or
// whose table cannot be read: a position missing or unreadable, a name and a
// position that disagree, a position past 180 degrees, a transponder without
// a readable frequency, symbol rate or polarisation, or no <sat> at all.
bool ReadSatelliteTable(std::string_view xml, SatelliteTable* table, std::string* error);

// The parts of an entry's name: the position it begins with, in tenths (west
// negative), and what follows it. False when the name does not begin with a
// position: a number with at most one decimal, then E or W standing alone.
bool ReadSlotName(std::string_view name, int64_t* tenths, std::string_view* rest);

// The name as the list shows it ("13.0E Ku-band Hotbird 13F/13G" is
// "Hotbird 13F/13G").
std::string Designation(std::string_view name);
