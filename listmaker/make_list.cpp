#include "listmaker/make_list.h"

#include <algorithm>

#include "listmaker/list_line.h"

namespace {

std::string ListText(const SatelliteTable& table, const ListPlan& plan) {
    std::vector<std::string> lines;
    for (const PlannedEntry& entry : plan.Entries) {
        const TableTransponder& t = table.Slots.at(entry.Slot).Transponders[entry.Transponder];
        lines.push_back(EntryLine(entry.Slot, table.Designations[t.Designation], t.Mhz,
                                  PolarisationLetter(t.Polarisation), t.Ksym));
    }
    std::sort(lines.begin(), lines.end(), ListLineBefore);
    std::string text;
    for (const std::string& line : lines) text += line + "\r\n";
    return text + "\r\n";
}

}  // namespace

bool MakeSatelliteList(std::string_view xml, std::string_view builtinList, size_t maxEntries, MadeList* made,
                       std::string* error) {
    if (!ReadBuiltinList(builtinList, &made->Builtin, error) || !ReadSatelliteTable(xml, &made->Table, error))
        return false;
    made->Plan = PlanList(made->Table, made->Builtin, maxEntries);
    if (made->Plan.Entries.empty()) {
        *error = "no satellite in it has a transponder Zentrik can tune";
        return false;
    }
    made->Text = ListText(made->Table, made->Plan);
    return true;
}

std::string ListOriginNote(std::string_view date) {
    return date.empty() ? "Made by Zentrik from a satellites.xml.\r\n"
                        : "Made by Zentrik from a satellites.xml of " + std::string(date) + ".\r\n";
}
