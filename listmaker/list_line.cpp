#include "listmaker/list_line.h"

#include <functional>
#include <tuple>

#include "common/orbital_position.h"
#include "listmaker/ascii_text.h"

namespace {

bool IsLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
bool IsSpace(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

// The name's first letter in capitals, and the line in small letters: the
// ASCII the list is written in.
char FirstLetter(const std::string& line) {
    const char c = line.size() > 1 ? line[1] : '\0';
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 32) : c;
}

std::string LowerText(const std::string& line) {
    std::string lower(line);
    for (char& c : lower)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c | 0x20);
    return lower;
}

// "10719v27500;" after the "]=".
bool ParseValue(std::string_view value, ListLine* parsed) {
    size_t at = 0;
    if (!ReadDigits(value, &at, &parsed->Mhz) || at >= value.size() || !IsLetter(value[at])) return false;
    parsed->Letter = value[at++];
    return ReadDigits(value, &at, &parsed->Ksym) && at + 1 == value.size() && value[at] == ';';
}

// "Hotbird   13.0e" between '[' and ']': its last word, after white space,
// a position in the list's small letters.
bool ParseNameEnd(std::string_view name, ListLine* parsed) {
    size_t start = name.size();
    while (start > 0 && !IsSpace(name[start - 1])) --start;
    if (start == 0 || start == name.size() || (name.back() != 'e' && name.back() != 'w')) return false;
    const int16_t tenths = ReadPositionWord(name.data() + start, name.size() - start);
    if (tenths == kPositionUnknown) return false;
    parsed->Tenths = tenths;
    return true;
}

}  // namespace

std::string PositionText(int64_t tenths) {
    char text[8];
    FormatListPosition(tenths >= -1800 && tenths <= 1800 ? static_cast<int16_t>(tenths) : kPositionUnknown, text);
    return text;
}

std::string ShortenName(std::string_view designation, size_t room) {
    std::string name(designation);
    while (name.size() > room) {
        bool cut = false;
        for (const char* mark : {" & ", "/", " "}) {
            const size_t at = name.rfind(mark);
            const size_t last = at == 0 || at == std::string::npos ? std::string::npos
                                                                   : name.find_last_not_of(" &/,-", at - 1);
            if (last == std::string::npos) continue;
            name.resize(last + 1);
            cut = true;
            break;
        }
        if (!cut) name.resize(room);
    }
    return name;
}

std::string EntryLine(int64_t slot, std::string_view designation, int64_t mhz, char letter, int64_t ksym) {
    const std::string position = PositionText(slot);
    const std::string name =
        ShortenName(designation.empty() ? "Satellite" : designation, kListNameLength - 3 - position.size());
    return "[" + name + "   " + position + "]=" + std::to_string(mhz) + letter + std::to_string(ksym) + ";";
}

// The name ends at the first "]=" whose value reads, as the list's reader
// would take it.
bool ParseListLine(std::string_view line, ListLine* parsed) {
    if (line.size() < 2 || line[0] != '[') return false;
    for (size_t close = line.find("]="); close != std::string_view::npos; close = line.find("]=", close + 1)) {
        if (ParseValue(line.substr(close + 2), parsed) && ParseNameEnd(line.substr(1, close - 1), parsed))
            return true;
    }
    return false;
}

bool NextListLine(std::string_view text, size_t* start, std::string_view* line) {
    if (*start >= text.size()) return false;
    size_t end = text.find("\r\n", *start);
    if (end == std::string_view::npos) end = text.size();
    *line = text.substr(*start, end - *start);
    *start = end + 2;
    return true;
}

bool ListLineBefore(const std::string& a, const std::string& b) {
    return std::make_tuple(FirstLetter(a), LowerText(a), std::cref(a)) <
           std::make_tuple(FirstLetter(b), LowerText(b), std::cref(b));
}
