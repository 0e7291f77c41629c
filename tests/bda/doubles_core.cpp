// Script, log, failure injection and reference counting of the BDA doubles.
#include "doubles_core.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <mutex>

std::atomic<long> g_liveObjects{0};
std::atomic<long> g_serverLocks{0};

namespace {

HANDLE g_log = INVALID_HANDLE_VALUE;
std::mutex g_logMutex;
std::atomic<int> g_nextId{1};
std::atomic<bool> g_tuned{false};
std::atomic<uint32_t> g_tunedAtMs{0};
std::atomic<int> g_tunedModulation{-1};
std::atomic<long> g_tunedKhz{0};
std::atomic<bool> g_flipOff{true};  // the first read of a flipping card finds the signal
std::atomic<bool> g_glitchSpent{false};

uint32_t NowMs() { return GetTickCount(); }

// "at MS|on PATH locked L strength S quality Q [present P]": the signal after
// the directive's word and argument.
bool ParseSignal(const std::vector<std::string>& w, SignalState* point) {
    long long locked = 0, strength = 0, quality = 0, present = -1;
    if (w.size() != 8 && w.size() != 10) return false;
    if (w[2] != "locked" || !ScriptNumber(w[3], &locked) ||
        (locked != 0 && locked != 1) || w[4] != "strength" || !ScriptNumber(w[5], &strength) ||
        w[6] != "quality" || !ScriptNumber(w[7], &quality))
        return false;
    if (w.size() == 10 && (w[8] != "present" || !ScriptNumber(w[9], &present) || present < 0 || present > 1))
        return false;
    point->Locked = locked == 1;
    point->Present = present < 0 ? point->Locked : present == 1;
    point->Strength = static_cast<LONG>(strength);
    point->Quality = static_cast<LONG>(quality);
    return true;
}

// nodevice, hang, glitch
bool ReadOwnSignalLine(const std::vector<std::string>& w, DoublesScript& script) {
    long long a = 0, b = 0;
    if (w[0] == "nodevice" && w.size() == 1) {
        script.NoDevice = true;
    } else if (w[0] == "hang" && w.size() == 4 && w[2].find('.') != std::string::npos &&
               ScriptNumber(w[3], &b) && b > 0) {
        // After a time, or once a file (any argument that is no number) exists.
        const bool timed = ScriptNumber(w[1], &a) && a >= 0;
        script.Hangs[w[2]] = Hang{timed ? static_cast<uint32_t>(a) : 0, timed ? std::string() : w[1],
                                  static_cast<uint32_t>(b)};
    } else if (w[0] == "glitch" && w.size() == 3 && ScriptNumber(w[1], &a) && a >= 0 && ScriptNumber(w[2], &b)) {
        script.HasGlitch = true;
        script.GlitchAfterMs = static_cast<uint32_t>(a);
        script.GlitchStrength = static_cast<LONG>(b);
    } else {
        return false;
    }
    return true;
}

// The card's shape: receiver, pins, rfunlocked, nostatistics, commit, cold,
// tuners, modulation, flip
bool ParseCardLine(const std::vector<std::string>& w, CardShape& card) {
    long long a = 0, b = 0;
    static const std::map<std::string, bool CardShape::*> kFlags = {
        {"receiver", &CardShape::Receiver},     {"rfunlocked", &CardShape::RfUnlocked},
        {"nostatistics", &CardShape::NoStatistics}, {"commit", &CardShape::CommitOnly},
        {"cold", &CardShape::Cold},             {"flip", &CardShape::Flip}};
    const auto flag = kFlags.find(w[0]);
    if (flag != kFlags.end() && w.size() == 1) {
        card.*(flag->second) = true;
    } else if (w[0] == "pins" && w.size() == 3 && ScriptNumber(w[1], &a) && ScriptNumber(w[2], &b) && a >= 0 &&
               b >= 0 && a != b && a < 8 && b < 8) {
        card.PinIn = static_cast<ULONG>(a);
        card.PinOut = static_cast<ULONG>(b);
    } else if (w[0] == "tuners" && w.size() == 2 && ScriptNumber(w[1], &a) && (a == 1 || a == 2)) {
        card.Tuners = static_cast<int>(a);
    } else if (w[0] == "modulation" && w.size() == 2 && w[1] == "unset") {
        card.RefusesModulation = true;
        card.LockModulation = -1;
    } else if (w[0] == "modulation" && w.size() == 2 && ScriptNumber(w[1], &a) && a >= 0) {
        card.LockModulation = static_cast<int>(a);
    } else {
        return false;
    }
    return true;
}

// Every `fail` names an object and its method.
bool ObjectMethodName(const std::string& name) { return name.find('.') != std::string::npos; }

DoublesScript LoadScript() {
    DoublesScript script;
    const std::string text = ScriptFileText(L"ZENTRIK_BDA_SCRIPT", &script.Problems);
    ParseDoublesScript(text, script);
    const std::wstring log = EnvironmentText(L"ZENTRIK_BDA_LOG");
    if (!log.empty())
        g_log = CreateFileW(log.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                            nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    return script;
}

}  // namespace

void ParseDoublesScript(const std::string& text, DoublesScript& script) {
    const ScriptRules<SignalState> rules{
        ParseSignal, ObjectMethodName,
        [&script](const ScriptWords& w) { return ReadOwnSignalLine(w, script) || ParseCardLine(w, script.Card) ||
                             ParseStreamLine(w, script.Stream); }};
    ReadScript(text, rules, script);
}

const DoublesScript& Script() {
    return ProcessScript(LoadScript, [](const std::string& problem) {
        LogLine("Script FAULT %s", problem.c_str());
    });
}

void MarkTuned(int modulation, long frequencyKhz) {
    g_tunedModulation = modulation;
    g_tunedKhz = frequencyKhz;
    g_tunedAtMs = NowMs();
    g_tuned = true;
}

bool TunedYet() { return g_tuned; }

long TunedFrequencyKhz() { return g_tunedKhz; }

uint32_t MsSinceTune() { return NowMs() - g_tunedAtMs.load(); }

void BeginStatisticsRead() {
    if (Script().Card.Flip) g_flipOff = !g_flipOff;
}

SignalState SignalNow() {
    const DoublesScript& script = Script();
    SignalState now;
    if (!g_tuned || (script.Card.Flip && g_flipOff)) return now;
    now = ScriptedSignalAt(script, NowMs() - g_tunedAtMs.load(), now);
    if (script.Card.LockModulation != kAnyModulation && script.Card.LockModulation != g_tunedModulation) {
        now.Locked = false;  // the carrier is there, but the demodulator cannot lock
        now.Quality = 0;
    }
    return now;
}

LONG StrengthNow() {
    const DoublesScript& script = Script();
    if (script.HasGlitch && g_tuned && NowMs() - g_tunedAtMs.load() >= script.GlitchAfterMs &&
        !g_glitchSpent.exchange(true)) {
        LogLine("Script GLITCH strength %ld", static_cast<long>(script.GlitchStrength));
        return script.GlitchStrength;
    }
    return SignalNow().Strength;
}

bool ForcedResult(const char* object, const char* method, HRESULT* result) {
    const auto it = Script().Failures.find(std::string(object) + "." + method);
    if (it == Script().Failures.end()) return false;
    *result = it->second;
    return true;
}

static void WriteLine(const char* body) {
    if (g_log == INVALID_HANDLE_VALUE) return;
    // Timed under the lock: lines reach the file in the order of their times.
    std::lock_guard<std::mutex> guard(g_logMutex);
    static const DWORD start = GetTickCount();
    char text[600];
    int n = std::snprintf(text, sizeof text - 2, "%lu %lu %s", static_cast<unsigned long>(GetTickCount() - start),
                          static_cast<unsigned long>(GetCurrentThreadId()), body);
    if (n < 0) return;
    if (n > static_cast<int>(sizeof text) - 3) n = sizeof text - 3;
    text[n++] = '\r';
    text[n++] = '\n';
    DWORD written = 0;
    WriteFile(g_log, text, static_cast<DWORD>(n), &written, nullptr);
}

void LogLine(const char* format, ...) {
    char body[512];
    va_list args;
    va_start(args, format);
    std::vsnprintf(body, sizeof body, format, args);
    va_end(args);
    WriteLine(body);
}

Counted::Counted(const char* kind) : kind_(kind), id_(g_nextId++) {
    ++g_liveObjects;
    Log("Create");
}

Counted::~Counted() {
    Log("Destroy");
    --g_liveObjects;
}

void Counted::Log(const char* format, ...) const {
    char body[512];
    int head = std::snprintf(body, sizeof body, "%s#%d ", kind_, id_);
    va_list args;
    va_start(args, format);
    std::vsnprintf(body + head, sizeof body - head, format, args);
    va_end(args);
    WriteLine(body);
}

HRESULT Counted::Enter(const char* method, bool* forced) const {
    const auto hang = Script().Hangs.find(std::string(kind_) + "." + method);
    const bool due = hang != Script().Hangs.end() && g_tuned &&
                     (hang->second.Gate.empty() ? NowMs() - g_tunedAtMs.load() >= hang->second.AfterMs
                                                : GetFileAttributesA(hang->second.Gate.c_str()) != INVALID_FILE_ATTRIBUTES);
    if (due) {
        Log("%s HANG %lu ms", method, static_cast<unsigned long>(hang->second.ForMs));
        Sleep(hang->second.ForMs);
        Log("%s HANG over", method);
    }
    HRESULT result = S_OK;
    *forced = ForcedResult(kind_, method, &result);
    return result;
}

ULONG Counted::ReleaseCount() {
    const long left = --refs_;
    if (left == 0) delete this;
    return static_cast<ULONG>(left);
}

HRESULT Counted::Query(REFIID iid, void** out) {
    if (!out) return E_POINTER;
    *out = Find(iid);
    if (!*out) return E_NOINTERFACE;
    static_cast<IUnknown*>(*out)->AddRef();
    return S_OK;
}

HRESULT PutText(const Counted* self, const char* method, std::wstring& field, BSTR value) {
    bool forced = false;
    const HRESULT hr = self->Enter(method, &forced);
    if (!forced) field = value ? std::wstring(value, SysStringLen(value)) : std::wstring();
    self->Log("%s 0x%08lX %ls", method, static_cast<unsigned long>(hr), field.c_str());
    return hr;
}

HRESULT GetText(const Counted* self, const char* method, const std::wstring& field, BSTR* out) {
    if (!out) return E_POINTER;
    bool forced = false;
    const HRESULT hr = self->Enter(method, &forced);
    if (!forced) *out = SysAllocStringLen(field.data(), static_cast<UINT>(field.size()));
    self->Log("%s 0x%08lX %ls", method, static_cast<unsigned long>(hr), field.c_str());
    return hr;
}
