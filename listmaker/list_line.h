// One entry line of the satellite list, "[Hotbird 13F/13G   13.0e]=10719v27500;",
// in the form the program reads (transponder/satellite_list.h) and its
// built-in list uses.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

// Names of at most 31 characters, the position at their end: the caption
// shown while measuring keeps a name's first 32, so a name never loses its
// position there.
constexpr size_t kListNameLength = 31;

// "13.0e", "30.0w" from tenths of a degree (west negative), as the list
// writes them (FormatListPosition); "unknown" past 180 degrees.
std::string PositionText(int64_t tenths);

// Cuts a designation to at most `room` characters: at its last " & " part
// first, then its last '/' part, then its last word (each cut also drops
// the " &/,-" it leaves at its end), then anywhere. A cut that would leave
// nothing is not made.
std::string ShortenName(std::string_view designation, size_t room);

// The whole line without its line end; an empty designation is "Satellite".
std::string EntryLine(int64_t slot, std::string_view designation, int64_t mhz, char letter, int64_t ksym);

struct ListLine {
    int64_t Tenths = 0;  // the position the name ends with
    int64_t Mhz = 0;
    char Letter = 0;
    int64_t Ksym = 0;
};

// A line of this form: '[', a name, white space, the position (up to 180
// degrees with at most one decimal, e or w), "]=", MHz, one letter, ksym/s,
// ';'. False for any other line.
bool ParseListLine(std::string_view line, ListLine* parsed);

// The line of CR LF text that starts at *start, without its line end, with
// *start moved to the next one; false past the last. A final line may lack
// its line end; a text that ends in one has no empty line after it.
bool NextListLine(std::string_view text, size_t* start, std::string_view* line);

// The list's order: the name's first letter without regard to case, then
// the whole line so, then as it is.
bool ListLineBefore(const std::string& a, const std::string& b);
