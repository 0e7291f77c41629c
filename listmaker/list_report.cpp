#include "listmaker/list_report.h"

#include <cstdio>

#include "listmaker/list_line.h"

namespace {

bool InData(const SatelliteTable& table, std::string_view line) {
    ListLine parsed;
    if (!ParseListLine(line, &parsed)) return false;
    const auto slot = table.Slots.find(parsed.Tenths);
    if (slot == table.Slots.end()) return false;
    for (const TableTransponder& t : slot->second.Transponders) {
        if (t.Polarisation >= 0 && t.Polarisation <= 3 && t.Mhz == parsed.Mhz && t.Ksym == parsed.Ksym &&
            PolarisationLetter(t.Polarisation) == parsed.Letter)
            return true;
    }
    return false;
}

size_t CountPresent(const SatelliteTable& table, std::string_view text) {
    size_t present = 0;
    std::string_view line;
    for (size_t start = 0; NextListLine(text, &start, &line);)
        if (InData(table, line)) ++present;
    return present;
}

bool SlotHasQpsk(const TableSlot& slot) {
    for (const TableTransponder& t : slot.Transponders)
        if (t.Tunable && t.Rank == 0) return true;
    return false;
}

std::string Share(size_t part, size_t whole) {
    char text[32];
    std::snprintf(text, sizeof text, "%.1f", whole ? 100.0 * static_cast<double>(part) / static_cast<double>(whole) : 100.0);
    return text;
}

const char* FateText(BuiltinFate fate) {
    switch (fate) {
    case BuiltinNotInData: return "not in the data";
    case BuiltinSlotTaken: return "slot taken by an earlier built-in entry";
    case BuiltinNothingToTune: return "no transponder the program can tune";
    case BuiltinListFull: return "the list is full";
    default: return "covered";
    }
}

std::string KindsLine(const ListFigures& f) {
    // By the kind's name: "DVB-S QPSK", "DVB-S2 8PSK", "DVB-S2 QPSK".
    static const struct { int Rank; const char* Name; } kKinds[] = {
        {0, "DVB-S QPSK"}, {2, "DVB-S2 8PSK"}, {1, "DVB-S2 QPSK"}};
    std::string line = "by kind:";
    const char* separator = " ";
    for (const auto& kind : kKinds) {
        if (f.ByRank[kind.Rank] == 0) continue;
        line += separator + std::string(kind.Name) + " " + std::to_string(f.ByRank[kind.Rank]);
        separator = ", ";
    }
    return line + "\n";
}

}  // namespace

ListFigures CountListFigures(const SatelliteTable& table, const ListPlan& plan, std::string_view listText) {
    ListFigures f;
    f.Entries = plan.Entries.size();
    f.Present = CountPresent(table, listText);
    f.Builtin = plan.Builtins.size();
    for (const BuiltinOutcome& outcome : plan.Builtins) {
        f.Carried += outcome.HasSlot ? 1 : 0;
        f.Covered += outcome.Fate == BuiltinCovered ? 1 : 0;
    }
    for (const PlannedEntry& entry : plan.Entries) {
        const TableSlot& slot = table.Slots.at(entry.Slot);
        const int rank = slot.Transponders[entry.Transponder].Rank;
        ++f.ByRank[rank];
        if (!SlotHasQpsk(slot)) continue;
        ++f.WithQpsk;
        f.Qpsk += rank == 0 ? 1 : 0;
    }
    return f;
}

std::string FormatListReport(const SatelliteTable& table, const std::vector<BuiltinEntry>& builtin,
                             const ListPlan& plan, std::string_view listText) {
    const ListFigures f = CountListFigures(table, plan, listText);
    std::string report = "entries: " + std::to_string(f.Entries) + "\n";
    report += "entries that are a transponder of the data at their slot: " + std::to_string(f.Present) + " of " +
              std::to_string(f.Entries) + "\n";
    report += "built-in slots still in the data: " + std::to_string(f.Carried) + " of " + std::to_string(f.Builtin) +
              "; covered: " + std::to_string(f.Covered) + " (" + Share(f.Covered, f.Carried) + " %)\n";
    report += "entries whose slot has a DVB-S QPSK transponder: " + std::to_string(f.WithQpsk) +
              "; DVB-S QPSK: " + std::to_string(f.Qpsk) + " (" + Share(f.Qpsk, f.WithQpsk) + " %)\n";
    report += KindsLine(f);
    for (size_t i = 0; i < plan.Builtins.size() && i < builtin.size(); ++i) {
        const BuiltinOutcome& outcome = plan.Builtins[i];
        if (outcome.Fate == BuiltinCovered) continue;
        report += "  built-in " + builtin[i].Line + " (" + (outcome.HasSlot ? PositionText(outcome.Slot) : "-") +
                  "): " + FateText(outcome.Fate) + "\n";
    }
    return report;
}
