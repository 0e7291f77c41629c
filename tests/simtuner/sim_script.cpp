// The test build's side of the simulated tuner (simtuner/sim_hooks.h), read
// once per process from the environment:
//   ZENTRIK_SIM_SCRIPT   path of a script file
//   ZENTRIK_SIM_LOG      path of a call log, one line appended per call
//   ZENTRIK_SIM_LATENCY  milliseconds each QueryLock/ReadSignalLevel sleeps
// The script is in the doubles' language (tests/doubles_script), with
//   SIGNAL = lock 0|1 level N [strength N] [quality N]
//                                the lock state and the level ReadSignalLevel
//                                reports, locked or not; level "-":
//                                ReadSignalLevel writes nothing; strength and
//                                quality: what the readings interface gives
//                                (percent), unknown where not written
//   at MS ...                    counted from the object's first
//                                InitializeControl; before the first point,
//                                and before InitializeControl, no lock
//   latency MS                   the pause of QueryLock and ReadSignalLevel
//   fail NAME HRESULT            NAME is a tuner-control method, "Create"
//                                (class factory CreateInstance),
//                                "QueryInterface" (query for tuner control)
//                                or "SignalReadings" (query for the readings
//                                interface: E_NOINTERFACE is a tuner without it)
#include "simtuner/sim_hooks.h"

#include <strmif.h>

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <mutex>

#include "tests/doubles_script/doubles_script.h"
#include "tuner/tuner_interface.h"

namespace {

struct SimScript : SharedScript<SimSignal> {
    bool Scripted = false;  // at least one "at" or "on" line
};

HANDLE g_log = INVALID_HANDLE_VALUE;
std::mutex g_logMutex;

// "strength N" and "quality N" after the level, in that order, each optional.
bool ReadSimReadings(const ScriptWords& w, SimSignal* signal) {
    const struct {
        const char* Name;
        int32_t* Field;
    } readings[] = {{"strength", &signal->Strength}, {"quality", &signal->Quality}};
    size_t at = 6;
    long long value = 0;
    for (const auto& reading : readings) {
        if (at + 1 >= w.size() || w[at] != reading.Name) continue;
        if (!ScriptNumber(w[at + 1], &value)) return false;
        *reading.Field = static_cast<int32_t>(value);
        at += 2;
    }
    return at == w.size();
}

// "lock 0|1 level N|- [strength N] [quality N]" after the directive's own word
// and argument.
bool ReadSimSignal(const ScriptWords& w, SimSignal* signal) {
    long long lock = 0, level = 0;
    if (w.size() < 6 || w[2] != "lock" || w[4] != "level" || !ScriptNumber(w[3], &lock) ||
        (lock != 0 && lock != 1) || (w[5] != "-" && !ScriptNumber(w[5], &level)))
        return false;
    signal->Locked = lock == 1;
    signal->Level = static_cast<int32_t>(level);
    signal->WritesLevel = w[5] != "-";
    return ReadSimReadings(w, signal);
}

SimScript LoadFromEnvironment() {
    SimScript script;
    const ScriptRules<SimSignal> rules{ReadSimSignal, [](const std::string&) { return true; },
                                       [](const ScriptWords&) { return false; }};
    ReadScript(ScriptFileText(L"ZENTRIK_SIM_SCRIPT", &script.Problems), rules, script);
    script.Scripted = !script.Timeline.empty() || !script.Gates.empty();
    if (!script.HasLatency) script.LatencyMs = kSimLatencyMs;
    const std::wstring latency = EnvironmentText(L"ZENTRIK_SIM_LATENCY");
    long long value = 0;
    if (ScriptNumber(std::string(latency.begin(), latency.end()), &value) && value >= 0)
        script.LatencyMs = static_cast<uint32_t>(value);
    const std::wstring log = EnvironmentText(L"ZENTRIK_SIM_LOG");
    if (!log.empty())
        g_log = CreateFileW(log.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                            nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    return script;
}

const SimScript& Script() {
    return ProcessScript(LoadFromEnvironment, [](const std::string& problem) {
        SimLog("FAULT script %s", problem.c_str());
    });
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

}  // namespace

void SimPrepare() { Script(); }

bool SimScriptedSignal(uint32_t ms, SimSignal* signal) {
    if (!Script().Scripted) return false;
    *signal = ScriptedSignalAt(Script(), ms, SimSignal{});
    return true;
}

bool SimForcedResult(const char* call, HRESULT* result) {
    const auto it = Script().Failures.find(call);
    if (it == Script().Failures.end()) return false;
    *result = it->second;
    return true;
}

uint32_t SimLatencyMs() { return Script().LatencyMs; }

const char* SimInterfaceName(REFIID iid) {
    if (IsEqualGUID(iid, IID_IUnknown)) return "IUnknown";
    if (IsEqualGUID(iid, kBaseFilterInterfaceId)) return "IBaseFilter";
    if (IsEqualGUID(iid, IID_IMediaFilter)) return "IMediaFilter";
    if (IsEqualGUID(iid, IID_IPersist)) return "IPersist";
    if (IsEqualGUID(iid, kTunerControlInterfaceId)) return "ITunerControl";
    if (IsEqualGUID(iid, IID_IClassFactory)) return "IClassFactory";
    if (IsEqualGUID(iid, kSignalReadingsInterfaceId)) return "ISignalReadings";
    return "other";
}

// Each line is written with one WriteFile, so it is on disk even if the
// process is killed right after.
void SimLog(const char* format, ...) {
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
