#include "listmaker/list_plan.h"

#include <algorithm>
#include <set>
#include <tuple>

#include "common/tuning_ranges.h"
#include "listmaker/list_line.h"

namespace {

constexpr int64_t kWide = 20000;  // ksym/s

// Up to the C band's top, so anything below the Ku band: the transponders
// chosen from are tunable, in one band or the other.
bool IsCBand(int64_t mhz) { return mhz <= kCBandTop; }

// The order transponders are preferred in, the first the best; the
// designation last, so the file's order never decides.
auto RankKey(const TableTransponder& t, const SatelliteTable& table) {
    return std::make_tuple(t.Rank, t.T2mi, t.Ksym < kWide, t.Polarisation >= 2, t.Mhz,
                           PolarisationLetter(t.Polarisation), -t.Ksym, t.Khz, t.SymbolsPerSecond,
                           std::string_view(table.Designations[t.Designation]));
}

// The slot's reference transponder, in C band when cBand is true, else in
// Ku band, as long as the slot has one there.
size_t ChooseTransponder(const SatelliteTable& table, const TableSlot& slot, bool cBand) {
    const bool bandThere = std::any_of(slot.Transponders.begin(), slot.Transponders.end(),
                                       [&](const TableTransponder& t) { return t.Tunable && IsCBand(t.Mhz) == cBand; });
    size_t best = slot.Transponders.size();
    for (size_t i = 0; i < slot.Transponders.size(); ++i) {
        const TableTransponder& t = slot.Transponders[i];
        if (!t.Tunable || (bandThere && IsCBand(t.Mhz) != cBand)) continue;
        if (best == slot.Transponders.size() || RankKey(t, table) < RankKey(slot.Transponders[best], table)) best = i;
    }
    return best;
}

// The data slot nearest a built-in position within the tolerance, among
// those with something to tune when there are such; the western of two as
// near.
bool NearestSlot(const SatelliteTable& table, int64_t position, bool tunable, int64_t* found) {
    bool any = false;
    auto it = table.Slots.lower_bound(position - kSlotTolerance);
    for (; it != table.Slots.end() && it->first <= position + kSlotTolerance; ++it) {
        const int64_t distance = it->first > position ? it->first - position : position - it->first;
        const int64_t best = *found > position ? *found - position : position - *found;
        if ((tunable && it->second.Tunable == 0) || (any && distance >= best)) continue;
        *found = it->first;
        any = true;
    }
    return any;
}

struct Planning {
    const SatelliteTable& Table;
    size_t MaxEntries;
    ListPlan Plan;
    std::set<int64_t> Chosen;
};

void Choose(Planning& p, int64_t slot, bool cBand) {
    p.Plan.Entries.push_back(PlannedEntry{slot, ChooseTransponder(p.Table, p.Table.Slots.at(slot), cBand)});
    p.Chosen.insert(slot);
}

BuiltinOutcome PlaceBuiltin(Planning& p, const BuiltinEntry& entry) {
    BuiltinOutcome outcome;
    outcome.HasSlot = NearestSlot(p.Table, entry.Tenths, true, &outcome.Slot) ||
                      NearestSlot(p.Table, entry.Tenths, false, &outcome.Slot);
    if (!outcome.HasSlot) outcome.Fate = BuiltinNotInData;
    else if (p.Chosen.count(outcome.Slot)) outcome.Fate = BuiltinSlotTaken;
    else if (p.Table.Slots.at(outcome.Slot).Tunable == 0) outcome.Fate = BuiltinNothingToTune;
    else if (p.Chosen.size() >= p.MaxEntries) outcome.Fate = BuiltinListFull;
    else outcome.Fate = BuiltinCovered;
    if (outcome.Fate == BuiltinCovered) Choose(p, outcome.Slot, IsCBand(entry.Mhz));
    return outcome;
}

void AddBusiestSlots(Planning& p) {
    std::vector<int64_t> further;
    for (const auto& [slot, content] : p.Table.Slots)
        if (!p.Chosen.count(slot) && content.Tunable > 0) further.push_back(slot);
    std::sort(further.begin(), further.end(), [&](int64_t a, int64_t b) {
        return std::make_pair(-static_cast<int64_t>(p.Table.Slots.at(a).Transponders.size()), a) <
               std::make_pair(-static_cast<int64_t>(p.Table.Slots.at(b).Transponders.size()), b);
    });
    for (size_t i = 0; i < further.size() && p.Chosen.size() < p.MaxEntries; ++i) Choose(p, further[i], false);
}

}  // namespace

char PolarisationLetter(int64_t polarisation) { return polarisation == 0 || polarisation == 2 ? 'h' : 'v'; }

bool ReadBuiltinList(std::string_view bytes, std::vector<BuiltinEntry>* entries, std::string* error) {
    std::string_view line;
    for (size_t start = 0; NextListLine(bytes, &start, &line);) {
        if (line.empty()) continue;
        ListLine parsed;
        if (!ParseListLine(line, &parsed)) {
            *error = "the built-in list has an entry not in the list's form: " + std::string(line);
            return false;
        }
        entries->push_back(BuiltinEntry{parsed.Tenths, parsed.Mhz, std::string(line)});
    }
    return true;
}

ListPlan PlanList(const SatelliteTable& table, const std::vector<BuiltinEntry>& builtin, size_t maxEntries) {
    Planning p{table, maxEntries, ListPlan(), {}};
    for (const BuiltinEntry& entry : builtin) p.Plan.Builtins.push_back(PlaceBuiltin(p, entry));
    AddBusiestSlots(p);
    return p.Plan;
}
