#include "pointing/pointing_input.h"

#include <cstring>

#include "common/orbital_position.h"

namespace {

constexpr int kFirstYear = 1901, kLastYear = 2099;
// Longer than any number a person types: a longer text is refused unread.
constexpr size_t kMaxNumberChars = 24;

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// An optional sign, digits, and an optional point with more digits; nothing
// else, no exponent, no spaces. The C library's reading would follow the
// locale's decimal separator and take "inf" and "1e9".
bool ReadDecimal(const char* text, size_t length, double* value) {
    if (length == 0 || length > kMaxNumberChars) return false;
    size_t at = text[0] == '-' || text[0] == '+' ? 1 : 0;
    double whole = 0.0, scale = 1.0;
    size_t digits = 0;
    bool point = false;
    for (; at < length; ++at) {
        if (text[at] == '.' && !point) {
            point = true;
        } else if (IsDigit(text[at])) {
            whole = whole * 10.0 + (text[at] - '0');
            if (point) scale *= 10.0;
            ++digits;
        } else {
            return false;
        }
    }
    if (digits == 0) return false;
    *value = (text[0] == '-' ? -whole : whole) / scale;
    return true;
}

// A number with an optional last letter for its side: plain numbers keep
// their sign; with a letter the number must be unsigned and the letter
// 'negative' (S or W) turns it.
bool ReadSided(const char* text, char positive, char negative, double* value, bool* sided) {
    size_t length = std::strlen(text);
    const char last = length > 0 ? static_cast<char>(text[length - 1] & ~0x20) : '\0';
    *sided = last == positive || last == negative;
    if (*sided && (text[0] == '-' || text[0] == '+')) return false;
    if (*sided) --length;
    if (!ReadDecimal(text, length, value)) return false;
    if (last == negative) *value = -*value;
    return true;
}

bool IsLeapYear(int year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

int DaysInMonth(int year, int month) {
    static const int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return month == 2 && IsLeapYear(year) ? 29 : kDays[month - 1];
}

int DaysInYear(int year) { return IsLeapYear(year) ? 366 : 365; }

// "YYYY-MM-DD" exactly.
bool ReadDate(const char* text, PointingDay* day) {
    if (std::strlen(text) != 10 || text[4] != '-' || text[7] != '-') return false;
    int fields[3] = {0, 0, 0};
    const int starts[3] = {0, 5, 8}, lengths[3] = {4, 2, 2};
    for (int f = 0; f < 3; ++f)
        for (int i = 0; i < lengths[f]; ++i) {
            const char c = text[starts[f] + i];
            if (!IsDigit(c)) return false;
            fields[f] = fields[f] * 10 + (c - '0');
        }
    return MakePointingDay(fields[0], fields[1], fields[2], day);
}

// A decimal year: its calendar day is the one the fraction falls in.
bool ReadDecimalYear(const char* text, PointingDay* day) {
    double value = 0.0;
    if (!ReadDecimal(text, std::strlen(text), &value) || text[0] == '-' || text[0] == '+') return false;
    if (value < kFirstYear || value >= kLastYear + 1) return false;
    const int year = static_cast<int>(value);
    int dayOfYear = static_cast<int>((value - year) * DaysInYear(year));
    int month = 1;
    while (month < 12 && dayOfYear >= DaysInMonth(year, month)) dayOfYear -= DaysInMonth(year, month++);
    if (!MakePointingDay(year, month, dayOfYear + 1, day)) return false;
    day->DecimalYear = value;
    return true;
}

}  // namespace

bool MakePointingDay(int year, int month, int day, PointingDay* result) {
    if (year < kFirstYear || year > kLastYear || month < 1 || month > 12 || day < 1 ||
        day > DaysInMonth(year, month))
        return false;
    int dayOfYear = day - 1;
    for (int m = 1; m < month; ++m) dayOfYear += DaysInMonth(year, m);
    result->Day = {year, month, day};
    result->DecimalYear = year + static_cast<double>(dayOfYear) / DaysInYear(year);
    return true;
}

const char* ReadLatitude(const char* text, double* latitude) {
    static const char kWhat[] =
        "the latitude must be decimal degrees between -90 and 90 (north positive), or up to 90 followed by "
        "N or S, such as 48.1374N; the poles themselves are refused";
    bool sided = false;
    if (!ReadSided(text, 'N', 'S', latitude, &sided) || !(*latitude > -90.0 && *latitude < 90.0)) return kWhat;
    return nullptr;
}

const char* ReadLongitude(const char* text, double* longitude) {
    static const char kWhat[] =
        "the longitude must be decimal degrees from -180 to 360 (east positive), or 0 to 180 followed by "
        "E or W, such as 11.5755E";
    bool sided = false;
    if (!ReadSided(text, 'E', 'W', longitude, &sided)) return kWhat;
    const double highest = sided ? 180.0 : 360.0;
    if (*longitude < -180.0 || *longitude > highest) return kWhat;
    if (*longitude > 180.0) *longitude -= 360.0;
    return nullptr;
}

const char* ReadHeight(const char* text, double* metres) {
    if (!ReadDecimal(text, std::strlen(text), metres) || *metres < -500.0 || *metres > 100000.0)
        return "the height must be metres from -500 to 100000";
    return nullptr;
}

const char* ReadPointingDay(const char* text, PointingDay* day) {
    if (ReadDate(text, day) || ReadDecimalYear(text, day)) return nullptr;
    return "the date must be a day such as 2027-03-01, or a decimal year such as 2027.5, from 1901 to 2099";
}

const char* ReadUtcOffset(const char* text, int* minutes) {
    double value = 0.0;
    if (std::strchr(text, '.') || !ReadDecimal(text, std::strlen(text), &value) || value < -720.0 || value > 840.0)
        return "the offset from UTC must be whole minutes east of UTC, from -720 to 840";
    *minutes = static_cast<int>(value);
    return nullptr;
}

const char* ReadPosition(const char* text, int16_t* position) {
    *position = ReadPositionWord(text, std::strlen(text));
    if (*position == kPositionUnknown)
        return "the position must be as the satellite list writes it: 0 to 180 degrees followed by E or W, such as "
               "13.0E or 30.0W";
    return nullptr;
}
