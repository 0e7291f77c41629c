// Which slots the list holds and which transponder stands for each: one
// reference transponder per orbital slot, so that a dish pointed right at a
// slot gets a lock today.
//
// - Every built-in slot gets an entry, in the built-in list's order, as long
//   as the data has a slot within kSlotTolerance of its position that has a
//   transponder to tune (the nearest such slot; satellites are replaced a
//   tenth or two beside the old position: 1.0w is now 0.8W), that slot is not
//   taken by an earlier built-in entry, and the list is not full. It is in
//   the built-in entry's band (C or Ku) when the data has that band there: a
//   dish with a C-band LNB stays served.
// - Further slots follow, the busiest (most transponders, tunable or not)
//   first, the western before the eastern among equals, in Ku band where the
//   slot has it (the common dish), up to the entry cap.
// - In a slot's band the transponder chosen is DVB-S QPSK before DVB-S2 QPSK
//   before DVB-S2 8PSK (a card with a maker's filter locks DVB-S only); then
//   one without a T2-MI feed before one with (such a feed often has no NIT
//   or SDT, so the identity line could never confirm the satellite; the lock
//   comes first, hence after the modulation); then a symbol rate of 20000 or
//   more before a narrower one; then linear before circular polarisation;
//   then the lowest frequency, h before v, the higher symbol rate.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "listmaker/satellite_table.h"

constexpr size_t kMaxListEntries = 170;

struct BuiltinEntry {
    int64_t Tenths = 0;
    int64_t Mhz = 0;
    std::string Line;
};

// The built-in list's entries in file order; false with the reason for a
// line not in the list's form.
bool ReadBuiltinList(std::string_view bytes, std::vector<BuiltinEntry>* entries, std::string* error);

enum BuiltinFate { BuiltinCovered, BuiltinNotInData, BuiltinSlotTaken, BuiltinNothingToTune, BuiltinListFull };

struct BuiltinOutcome {
    BuiltinFate Fate = BuiltinNotInData;
    bool HasSlot = false;  // a data slot lies within the tolerance
    int64_t Slot = 0;
};

struct PlannedEntry {
    int64_t Slot = 0;
    size_t Transponder = 0;  // index into the slot's transponders
};

struct ListPlan {
    std::vector<PlannedEntry> Entries;
    std::vector<BuiltinOutcome> Builtins;  // one per built-in entry, in its order
};

ListPlan PlanList(const SatelliteTable& table, const std::vector<BuiltinEntry>& builtin, size_t maxEntries);

// 'h' for horizontal and circular left, 'v' for vertical and circular right,
// as receivers write circular polarisation for a circular LNB.
char PolarisationLetter(int64_t polarisation);
