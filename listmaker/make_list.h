// The satellite list made from an Enigma2 satellites.xml and the built-in
// list, in one call: what bdaprobe --make-list writes and what the program
// offers when a satellites.xml is dropped on it. The same input gives the
// same bytes.
#pragma once
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "listmaker/list_plan.h"
#include "listmaker/satellite_table.h"

struct MadeList {
    SatelliteTable Table;
    std::vector<BuiltinEntry> Builtin;
    ListPlan Plan;
    // The list file's bytes: one entry a line, sorted, CR LF, then an empty
    // line, as the built-in list ends.
    std::string Text;
};

// False with the reason when the file is no satellite table, or when no
// slot in it has a transponder the program can tune.
bool MakeSatelliteList(std::string_view xml, std::string_view builtinList, size_t maxEntries, MadeList* made,
                       std::string* error);

// The line a list made in the program ends with, after the empty line: it
// says where the list came from. The program reads nothing past the last
// entry's ';' (and the line holds none, nor a '[' or ']'), so the list shows
// the same; and such a list is never byte for byte a list the installer
// shipped, so uninstalling leaves it as the user's own.
std::string ListOriginNote(std::string_view date);
