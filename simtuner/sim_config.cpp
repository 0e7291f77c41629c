// Script format (one directive a line; '#' starts a comment; blank lines ok):
//   latency MS                    sleep of QueryLock and ReadSignalLevel
//   at MS lock 0|1 level N        from MS on (counted from the object's first
//                                 InitializeControl) the lock state and the
//                                 level ReadSignalLevel reports, locked or not;
//                                 level "-": ReadSignalLevel writes nothing
//   on PATH lock 0|1 level N      while the file PATH exists, this signal
//                                 instead of the timeline's (the last such
//                                 line whose file exists wins): a test moves
//                                 the signal on when it has seen what it
//                                 waited for, however slow the machine
//   loop MS                       the timeline repeats every MS
//   fail METHOD HRESULT           METHOD returns HRESULT (hex 0x.. or decimal).
//                                 METHOD is a tuner-control method name,
//                                 "Create" (class factory CreateInstance) or
//                                 "QueryInterface" (query for tuner control).
// Before the first "at" point, and before InitializeControl, there is no lock.
#include "sim_config.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <string>
#include <vector>

namespace {

HANDLE g_log = INVALID_HANDLE_VALUE;
std::mutex g_logMutex;

bool ParseNumber(const std::string& text, long long* value) {
    if (text.empty()) return false;
    char* end = nullptr;
    const long long v = std::strtoll(text.c_str(), &end, 0);
    if (*end != '\0') return false;
    *value = v;
    return true;
}

std::wstring EnvW(const wchar_t* name) {
    wchar_t buffer[32768];
    const DWORD n = GetEnvironmentVariableW(name, buffer, 32768);
    if (n == 0 || n >= 32768) return std::wstring();
    return std::wstring(buffer, n);
}

SimConfig LoadFromEnvironment() {
    SimConfig config;
    const std::wstring script = EnvW(L"ZENTRIK_SIM_SCRIPT");
    if (!script.empty()) {
        HANDLE file = CreateFileW(script.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                  nullptr, OPEN_EXISTING, 0, nullptr);
        if (file != INVALID_HANDLE_VALUE) {
            std::string text;
            char chunk[4096];
            DWORD got = 0;
            while (ReadFile(file, chunk, sizeof chunk, &got, nullptr) && got > 0) text.append(chunk, got);
            CloseHandle(file);
            ParseScript(text, config);
        } else {
            config.Problems.push_back("cannot open script");
        }
    }
    const std::wstring latency = EnvW(L"ZENTRIK_SIM_LATENCY");
    if (!latency.empty()) {
        long long v = 0;
        std::string narrow(latency.begin(), latency.end());
        if (ParseNumber(narrow, &v) && v >= 0) config.LatencyMs = static_cast<uint32_t>(v);
    }
    config.LogPath = EnvW(L"ZENTRIK_SIM_LOG");
    if (!config.LogPath.empty()) {
        g_log = CreateFileW(config.LogPath.c_str(), FILE_APPEND_DATA,
                            FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                            OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    }
    return config;
}

}  // namespace

bool SimConfig::FailureFor(const char* method, HRESULT* result) const {
    const auto it = Failures.find(method);
    if (it == Failures.end()) return false;
    *result = it->second;
    return true;
}

SignalPoint SimConfig::SignalAt(uint32_t ms) const {
    SignalPoint now{0, false, 0};
    if (LoopMs > 0) ms %= LoopMs;
    for (const SignalPoint& p : Timeline) {
        if (p.AtMs > ms) break;
        now = p;
    }
    for (const SignalGate& gate : Gates)
        if (GetFileAttributesA(gate.Path.c_str()) != INVALID_FILE_ATTRIBUTES) now = gate.Signal;
    return now;
}

// The words of one script line, up to a '#'. (No string streams: they bring
// the locale machinery along and double the DLL the installer carries.)
std::vector<std::string> ScriptWords(const std::string& line) {
    std::vector<std::string> words;
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

namespace {

// "lock 0|1 level N|-" after the directive's own word and argument.
bool ParseSignal(const std::vector<std::string>& w, SignalPoint* point) {
    long long lock = 0, level = 0;
    if (w.size() != 6 || w[2] != "lock" || w[4] != "level" || !ParseNumber(w[3], &lock) ||
        (lock != 0 && lock != 1) || (w[5] != "-" && !ParseNumber(w[5], &level)))
        return false;
    point->Locked = lock == 1;
    point->Level = static_cast<int32_t>(level);
    point->WritesLevel = w[5] != "-";
    return true;
}

}  // namespace

void ParseScript(const std::string& text, SimConfig& config) {
    for (size_t start = 0; start < text.size();) {
        const size_t end = std::min(text.find('\n', start), text.size());
        const std::string line = text.substr(start, end - start);
        start = end + 1;
        const std::vector<std::string> w = ScriptWords(line);
        if (w.empty()) continue;
        long long a = 0;
        SignalPoint point{0, false, 0};
        if (w[0] == "latency" && w.size() == 2 && ParseNumber(w[1], &a) && a >= 0) {
            config.LatencyMs = static_cast<uint32_t>(a);
        } else if (w[0] == "loop" && w.size() == 2 && ParseNumber(w[1], &a) && a > 0) {
            config.LoopMs = static_cast<uint32_t>(a);
        } else if (w[0] == "at" && ParseSignal(w, &point) && ParseNumber(w[1], &a) && a >= 0) {
            point.AtMs = static_cast<uint32_t>(a);
            config.Timeline.push_back(point);
            config.Scripted = true;
        } else if (w[0] == "on" && ParseSignal(w, &point)) {
            config.Gates.push_back({w[1], point});
            config.Scripted = true;
        } else if (w[0] == "fail" && w.size() == 3 && ParseNumber(w[2], &a)) {
            config.Failures[w[1]] = static_cast<HRESULT>(static_cast<uint32_t>(a));
        } else {
            config.Problems.push_back(line);
        }
    }
    std::stable_sort(config.Timeline.begin(), config.Timeline.end(),
                     [](const SignalPoint& x, const SignalPoint& y) { return x.AtMs < y.AtMs; });
}

const SimConfig& Config() {
    static const SimConfig config = [] {
        SimConfig c = LoadFromEnvironment();
        for (const std::string& p : c.Problems) LogLine("FAULT script %s", p.c_str());
        return c;
    }();
    return config;
}

uint32_t MsSinceProcessStart() {
    FILETIME created, exited, kernel, user, now;
    if (!GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user)) return 0;
    GetSystemTimeAsFileTime(&now);
    ULARGE_INTEGER c, n;
    c.LowPart = created.dwLowDateTime;
    c.HighPart = created.dwHighDateTime;
    n.LowPart = now.dwLowDateTime;
    n.HighPart = now.dwHighDateTime;
    if (n.QuadPart < c.QuadPart) return 0;
    return static_cast<uint32_t>((n.QuadPart - c.QuadPart) / 10000);
}

void LogLine(const char* format, ...) {
    if (g_log == INVALID_HANDLE_VALUE) return;
    // The time is taken under the lock too, so that the lines of two threads
    // reach the file in the order of their times.
    std::lock_guard<std::mutex> guard(g_logMutex);
    char text[512];
    const int head = std::snprintf(text, sizeof text, "%lu %lu ",
                                   static_cast<unsigned long>(MsSinceProcessStart()),
                                   static_cast<unsigned long>(GetCurrentThreadId()));
    va_list args;
    va_start(args, format);
    int body = std::vsnprintf(text + head, sizeof text - head - 2, format, args);
    va_end(args);
    if (body < 0) body = 0;
    size_t length = std::min(static_cast<size_t>(head + body), sizeof text - 3);
    text[length++] = '\r';
    text[length++] = '\n';
    DWORD written = 0;
    WriteFile(g_log, text, static_cast<DWORD>(length), &written, nullptr);
    FlushFileBuffers(g_log);
}
