#include "phone/phone_switch.h"

#include <cstddef>

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

char Lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

// Past the program's path: quoted up to the closing quote, else up to a blank.
const char* SkipProgramPath(const char* at) {
    if (*at == '"') {
        ++at;
        while (*at && *at != '"') ++at;
        if (*at) ++at;
    } else {
        while (*at && !IsBlank(*at)) ++at;
    }
    return at;
}

// The argument at 'at' (quotes dropped) into word, cut to its size with
// *cut set; returns where it ends.
const char* NextArgument(const char* at, char* word, size_t size, bool* cut) {
    size_t length = 0;
    bool quoted = false;
    *cut = false;
    for (; *at && (quoted || !IsBlank(*at)); ++at) {
        if (*at == '"') {
            quoted = !quoted;
        } else if (length + 1 < size) {
            word[length++] = *at;
        } else {
            *cut = true;
        }
    }
    word[length] = '\0';
    return at;
}

// "phone" after the leading '/' or '-', then nothing or ':'.
bool IsPhoneSwitch(const char* word, const char** rest) {
    if (word[0] != '/' && word[0] != '-') return false;
    static const char kName[] = "phone";
    for (int i = 0; kName[i]; ++i)
        if (Lower(word[1 + i]) != kName[i]) return false;
    *rest = word + 6;
    return **rest == '\0' || **rest == ':';
}

bool ReadPort(const char* digits, uint16_t* port) {
    uint32_t value = 0;
    if (!*digits) return false;
    for (; *digits; ++digits) {
        if (*digits < '0' || *digits > '9') return false;
        value = value * 10 + static_cast<uint32_t>(*digits - '0');
        if (value > 65535) return false;
    }
    if (value == 0) return false;
    *port = static_cast<uint16_t>(value);
    return true;
}

}  // namespace

PhoneSwitch ReadPhoneSwitch(const char* commandLine, uint16_t* port) {
    if (!commandLine) return PhoneOff;
    const char* at = SkipProgramPath(commandLine);
    char word[32];
    while (*at) {
        if (IsBlank(*at)) {
            ++at;
            continue;
        }
        bool cut = false;
        at = NextArgument(at, word, sizeof word, &cut);
        const char* rest = nullptr;
        if (!IsPhoneSwitch(word, &rest)) continue;
        if (cut) return PhoneBadPort;  // no port is that long
        if (*rest == '\0') {
            *port = kDefaultPhonePort;
            return PhoneOn;
        }
        return ReadPort(rest + 1, port) ? PhoneOn : PhoneBadPort;
    }
    return PhoneOff;
}
