// The shared part of the doubles' script language: words, numbers and files.
// No string streams: they bring the locale machinery into every double.
#include "tests/doubles_script/doubles_script.h"

#include <cstdlib>

bool ScriptNumber(const std::string& text, long long* value) {
    if (text.empty()) return false;
    char* end = nullptr;
    const long long v = std::strtoll(text.c_str(), &end, 0);
    if (*end != '\0') return false;
    *value = v;
    return true;
}

ScriptWords ScriptLineWords(const std::string& line) {
    ScriptWords words;
    const size_t end = std::min(line.find('#'), line.size());
    size_t at = 0;
    while (true) {
        at = line.find_first_not_of(" \t\r\v\f", at);
        if (at == std::string::npos || at >= end) break;
        const size_t stop = std::min(line.find_first_of(" \t\r\v\f", at), end);
        words.push_back(line.substr(at, stop - at));
        at = stop;
    }
    return words;
}

std::wstring EnvironmentText(const wchar_t* name) {
    std::wstring value(32768, L'\0');
    const DWORD n = GetEnvironmentVariableW(name, &value[0], static_cast<DWORD>(value.size()));
    value.resize(n < value.size() ? n : 0);
    return value;
}

std::string ScriptFileText(const wchar_t* variable, std::vector<std::string>* problems) {
    const std::wstring path = EnvironmentText(variable);
    std::string text;
    if (path.empty()) return text;
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        problems->push_back("cannot open the script");
        return text;
    }
    char chunk[4096];
    DWORD got = 0;
    while (ReadFile(file, chunk, sizeof chunk, &got, nullptr) && got > 0) text.append(chunk, got);
    CloseHandle(file);
    return text;
}

bool ScriptGateOpen(const std::string& path) {
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}
