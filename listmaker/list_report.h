// The made list's figures, as `bdaprobe --make-list --report` prints them:
// what the list is measured by when a newer table makes it again.
#pragma once
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "listmaker/list_plan.h"
#include "listmaker/satellite_table.h"

struct ListFigures {
    size_t Entries = 0;
    // Entries that, read back from the list's bytes, are a transponder of
    // the data at the position their name ends with.
    size_t Present = 0;
    size_t Builtin = 0;
    size_t Carried = 0;  // built-in slots the data still has
    size_t Covered = 0;  // of those, the ones with an entry
    size_t WithQpsk = 0;  // entries whose slot has a DVB-S QPSK transponder
    size_t Qpsk = 0;      // of those, the ones that are DVB-S QPSK
    size_t ByRank[3] = {};
};

ListFigures CountListFigures(const SatelliteTable& table, const ListPlan& plan, std::string_view listText);

// The figures, one a line, then one line for each built-in entry that did
// not get its slot, with the reason.
std::string FormatListReport(const SatelliteTable& table, const std::vector<BuiltinEntry>& builtin,
                             const ListPlan& plan, std::string_view listText);
