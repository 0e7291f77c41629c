#include "listmaker/satellite_table.h"

#include "common/tuning_ranges.h"
#include "common/utf8.h"
#include "listmaker/ascii_fold.h"
#include "listmaker/ascii_text.h"
#include "listmaker/xml_reader.h"

namespace {

constexpr int64_t kHalfCircle = 1800;  // tenths

// White space as names are read: ASCII's and the other spaces of Unicode
// (a no-break space among them).
bool IsNameSpace(uint32_t c) {
    return (c >= 0x09 && c <= 0x0D) || (c >= 0x1C && c <= 0x20) || c == 0x85 || c == 0xA0 || c == 0x1680 ||
           (c >= 0x2000 && c <= 0x200A) || c == 0x2028 || c == 0x2029 || c == 0x202F || c == 0x205F ||
           c == 0x3000;
}

// A letter or digit of any script, or '_': what would run on from an E or W.
bool IsWordCode(uint32_t c) {
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_' ||
           (c >= 0x80 && !IsNameSpace(c));
}

size_t SkipNameSpace(std::string_view text, size_t at) {
    uint32_t code = 0;
    while (at < text.size()) {
        const size_t length = ReadUtf8(text, at, &code);
        if (length == 0 || !IsNameSpace(code)) break;
        at += length;
    }
    return at;
}

// What follows the position: one line (a final line feed dropped).
bool ReadNameRest(std::string_view name, size_t at, std::string_view* rest) {
    std::string_view tail = name.substr(SkipNameSpace(name, at));
    if (!tail.empty() && tail.back() == '\n') tail.remove_suffix(1);
    if (tail.find('\n') != std::string_view::npos) return false;
    *rest = tail;
    return true;
}

// "C-band ", "Ku-band " and the like, as entry names begin after the position.
std::string_view WithoutBand(std::string_view rest) {
    static const std::string_view kBands[] = {"c-band", "ku-band", "ka-band", "s-band", "l-band", "x-band"};
    for (std::string_view band : kBands) {
        if (rest.size() <= band.size()) continue;
        const size_t after = SkipNameSpace(rest, band.size());
        if (SameLetters(rest.substr(0, band.size()), band) && after > band.size()) return rest.substr(after);
    }
    return rest;
}

// An integer attribute ("11919000", " -1331 "): optional white space, an
// optional sign, decimal digits.
bool ReadInteger(std::string_view text, int64_t* value) {
    size_t at = SkipNameSpace(text, 0);
    const bool negative = at < text.size() && text[at] == '-';
    if (at < text.size() && (text[at] == '-' || text[at] == '+')) ++at;
    int64_t number = 0;
    if (!ReadDigits(text, &at, &number) || SkipNameSpace(text, at) != text.size()) return false;
    *value = negative ? -number : number;
    return true;
}

// kHz to MHz and symbols/s to ksym/s, to the nearest (a half rounds up).
int64_t Nearest(int64_t value) {
    const int64_t shifted = value + 500;
    return shifted >= 0 ? shifted / 1000 : -((-shifted + 999) / 1000);
}

// Enigma2: system 0 DVB-S, 1 DVB-S2; modulation 1 QPSK, 2 8PSK.
int RankOf(int64_t system, int64_t modulation) {
    if (system == 0 && modulation == 1) return 0;
    if (system == 1 && modulation == 1) return 1;
    if (system == 1 && modulation == 2) return 2;
    return -1;
}

const XmlAttribute* Find(const XmlAttribute* attributes, size_t count, std::string_view name) {
    for (size_t i = 0; i < count; ++i)
        if (attributes[i].Name == name) return &attributes[i];
    return nullptr;
}

struct OpenSat {
    int64_t Slot = 0;
    size_t Designation = 0;
    std::string Name;  // as a message quotes it
};

struct Reading {
    SatelliteTable* Table = nullptr;
    std::vector<OpenSat> OpenSats;  // the innermost last
    std::string Error;
};

bool ReadSlot(const XmlAttribute* attributes, size_t count, int64_t* slot, std::string* error) {
    const XmlAttribute* named = Find(attributes, count, "name");
    const std::string_view name = named ? named->Value : std::string_view();
    const XmlAttribute* position = Find(attributes, count, "position");
    int64_t attribute = 0, tenths = 0;
    std::string_view rest;
    if (!position || !ReadInteger(position->Value, &attribute)) {
        *error = XmlQuote(name) + ": no readable position attribute";
        return false;
    }
    if (!ReadSlotName(name, &tenths, &rest)) tenths = attribute;
    if (tenths - attribute > kSlotTolerance || attribute - tenths > kSlotTolerance) {
        *error = XmlQuote(name) + ": the name's position and position=\"" + std::to_string(attribute) + "\" disagree";
        return false;
    }
    if (tenths < -kHalfCircle || tenths > kHalfCircle) {
        *error = XmlQuote(name) + ": a position past 180 degrees";
        return false;
    }
    *slot = tenths;
    return true;
}

bool StartSat(Reading* reading, const XmlAttribute* attributes, size_t count) {
    int64_t slot = 0;
    if (!ReadSlot(attributes, count, &slot, &reading->Error)) return false;
    const XmlAttribute* named = Find(attributes, count, "name");
    const std::string_view name = named ? named->Value : std::string_view();
    SatelliteTable& table = *reading->Table;
    table.Designations.push_back(Designation(name));
    table.Slots[slot];
    reading->OpenSats.push_back(OpenSat{slot, table.Designations.size() - 1, XmlQuote(name)});
    return true;
}

// False with the attribute that is missing or unreadable.
bool ReadTransponder(const XmlAttribute* attributes, size_t count, TableTransponder* t, const char** unreadable) {
    int64_t system = 0, modulation = 1;
    const struct { const char* Name; int64_t* Value; bool Required; } kFields[] = {
        {"frequency", &t->Khz, true}, {"symbol_rate", &t->SymbolsPerSecond, true},
        {"polarization", &t->Polarisation, true}, {"system", &system, false}, {"modulation", &modulation, false}};
    for (const auto& field : kFields) {
        const XmlAttribute* found = Find(attributes, count, field.Name);
        if (found ? ReadInteger(found->Value, field.Value) : !field.Required) continue;
        *unreadable = field.Name;
        return false;
    }
    t->Mhz = Nearest(t->Khz);
    t->Ksym = Nearest(t->SymbolsPerSecond);
    t->Rank = RankOf(system, modulation);
    t->T2mi = Find(attributes, count, "t2mi_plp_id") || Find(attributes, count, "t2mi_pid");
    t->Tunable = (InCBand(t->Mhz) || InKuBand(t->Mhz)) && SymbolRateInRange(t->Ksym) && t->Rank >= 0 &&
                 t->Polarisation >= 0 && t->Polarisation <= 3 && !Find(attributes, count, "is_id") &&
                 !Find(attributes, count, "pls_code");
    return true;
}

// A transponder belongs to the innermost open <sat>; outside every <sat> it
// belongs to none and is passed over.
bool AddTransponder(Reading* reading, const XmlAttribute* attributes, size_t count) {
    if (reading->OpenSats.empty()) return true;
    const OpenSat& sat = reading->OpenSats.back();
    TableTransponder transponder;
    transponder.Designation = sat.Designation;
    const char* unreadable = nullptr;
    if (!ReadTransponder(attributes, count, &transponder, &unreadable)) {
        reading->Error = sat.Name + ": a transponder without a readable " + unreadable;
        return false;
    }
    TableSlot& target = reading->Table->Slots[sat.Slot];
    target.Transponders.push_back(transponder);
    if (transponder.Tunable) ++target.Tunable;
    return true;
}

bool OnStart(void* context, std::string_view name, const XmlAttribute* attributes, size_t count) {
    auto* reading = static_cast<Reading*>(context);
    if (name == "sat") return StartSat(reading, attributes, count);
    if (name == "transponder") return AddTransponder(reading, attributes, count);
    return true;
}

void OnEnd(void* context, std::string_view name) {
    auto* reading = static_cast<Reading*>(context);
    if (name == "sat" && !reading->OpenSats.empty()) reading->OpenSats.pop_back();
}

bool IsDate(std::string_view d) {
    if (d.size() != 10 || d[4] != '-' || d[7] != '-') return false;
    for (size_t i : {0, 1, 2, 3, 5, 6, 8, 9})
        if (!IsDigit(d[i])) return false;
    const int month = (d[5] - '0') * 10 + (d[6] - '0'), day = (d[8] - '0') * 10 + (d[9] - '0');
    return month >= 1 && month <= 12 && day >= 1 && day <= 31;
}

// "File created on 2026-08-22T08:35:39", as the grabber that writes the
// table says when it did; the first such comment counts.
void OnComment(void* context, std::string_view text) {
    auto* reading = static_cast<Reading*>(context);
    static const std::string_view kCreated = "File created on ";
    const size_t at = text.find(kCreated);
    if (!reading->Table->Date.empty() || at == std::string_view::npos) return;
    const std::string_view date = text.substr(at + kCreated.size(), 10);
    if (IsDate(date)) reading->Table->Date = std::string(date);
}

}  // namespace

bool ReadSlotName(std::string_view name, int64_t* tenths, std::string_view* rest) {
    size_t at = SkipNameSpace(name, 0);
    int64_t whole = 0, tenth = 0;
    if (!ReadDigits(name, &at, &whole)) return false;
    if (at + 1 < name.size() && name[at] == '.' && IsDigit(name[at + 1])) {
        tenth = name[at + 1] - '0';
        at += 2;
    }
    at = SkipNameSpace(name, at);
    const char side = at < name.size() ? static_cast<char>(name[at] | 0x20) : '\0';
    if (side != 'e' && side != 'w') return false;
    uint32_t code = 0;
    if (++at < name.size() && ReadUtf8(name, at, &code) && IsWordCode(code)) return false;
    if (!ReadNameRest(name, at, rest)) return false;
    *tenths = (whole * 10 + tenth) * (side == 'w' ? -1 : 1);
    return true;
}

std::string Designation(std::string_view name) {
    int64_t tenths = 0;
    std::string_view rest;
    std::string ascii, designation;
    AppendAsciiFold(ReadSlotName(name, &tenths, &rest) ? WithoutBand(rest) : name, &ascii);
    bool space = false;
    for (char c : ascii) {
        if (c == ' ' || c == '[' || c == ']' || c == ';') {
            space = !designation.empty();
            continue;
        }
        if (space) designation.push_back(' ');
        space = false;
        designation.push_back(c);
    }
    return designation;
}

bool ReadSatelliteTable(std::string_view xml, SatelliteTable* table, std::string* error) {
    Reading reading;
    reading.Table = table;
    XmlEvents events;
    events.Context = &reading;
    events.StartElement = OnStart;
    events.EndElement = OnEnd;
    events.Comment = OnComment;
    XmlFailure failure;
    if (!ReadXml(xml, events, &failure)) {
        *error = "line " + std::to_string(failure.Line) + ", column " + std::to_string(failure.Column) + ": " +
                 (failure.What.empty() ? reading.Error : failure.What);
        return false;
    }
    if (table->Slots.empty()) {
        *error = "no <sat> entries: this is not a satellites.xml";
        return false;
    }
    return true;
}
