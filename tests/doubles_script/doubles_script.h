// The script language of the tuner doubles (the scriptable simulated tuner and
// the BDA doubles): one directive a line, words apart by blanks, '#' starting
// a comment, numbers in decimal or 0x hex. The directives they share are read
// here:
//   at MS SIGNAL       from MS on (each double says from when) this signal
//   on PATH SIGNAL     while the file PATH exists, this signal instead of the
//                      timeline's (the last such line whose file exists wins):
//                      a test moves the signal on once it has seen what it
//                      waited for, however slow the machine
//   loop MS            the timeline repeats every MS
//   latency MS         the pause of the calls each double names
//   fail NAME HRESULT  the call NAME answers HRESULT
// SIGNAL, the names `fail` takes and every other directive are each double's
// own, read by the rules it hands in.
#pragma once
#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

using ScriptWords = std::vector<std::string>;

// A whole number in decimal or 0x hex, nothing after it.
bool ScriptNumber(const std::string& text, long long* value);
// The words of one line, up to a '#'.
ScriptWords ScriptLineWords(const std::string& line);
// The value of an environment variable; empty when it is not set.
std::wstring EnvironmentText(const wchar_t* name);
// The text of the script file an environment variable names: empty when the
// variable is not set; a problem noted when the file cannot be read.
std::string ScriptFileText(const wchar_t* variable, std::vector<std::string>* problems);

// A signal that holds while a file exists.
template <typename S>
struct GatedSignal {
    std::string Path;
    S Signal;
};

// What a double's script says; each signal S has an AtMs.
template <typename S>
struct SharedScript {
    std::vector<S> Timeline;                  // sorted by AtMs
    std::vector<GatedSignal<S>> Gates;        // in script order; the last whose file exists wins
    uint32_t LoopMs = 0;                      // 0: the last point holds
    bool HasLatency = false;
    uint32_t LatencyMs = 0;
    std::map<std::string, HRESULT> Failures;  // NAME -> forced result
    std::vector<std::string> Problems;        // lines that could not be read
};

template <typename S>
struct ScriptRules {
    // The signal in the words after the directive's word and argument.
    std::function<bool(const ScriptWords& words, S* signal)> ReadSignal;
    // Whether `fail` takes this name.
    std::function<bool(const std::string& name)> FailName;
    // Any other directive; false when the line is none of the double's.
    std::function<bool(const ScriptWords& words)> ReadOther;
};

// One shared directive into script; false when the line is none of them.
template <typename S>
bool ReadSharedLine(const ScriptWords& w, const ScriptRules<S>& rules, SharedScript<S>& script) {
    long long a = 0;
    S signal{};
    if (w[0] == "at" && w.size() > 2 && ScriptNumber(w[1], &a) && a >= 0 && rules.ReadSignal(w, &signal)) {
        signal.AtMs = static_cast<uint32_t>(a);
        script.Timeline.push_back(signal);
    } else if (w[0] == "on" && w.size() > 2 && rules.ReadSignal(w, &signal)) {
        script.Gates.push_back({w[1], signal});
    } else if (w[0] == "loop" && w.size() == 2 && ScriptNumber(w[1], &a) && a > 0) {
        script.LoopMs = static_cast<uint32_t>(a);
    } else if (w[0] == "latency" && w.size() == 2 && ScriptNumber(w[1], &a) && a >= 0) {
        script.HasLatency = true;
        script.LatencyMs = static_cast<uint32_t>(a);
    } else if (w[0] == "fail" && w.size() == 3 && rules.FailName(w[1]) && ScriptNumber(w[2], &a)) {
        script.Failures[w[1]] = static_cast<HRESULT>(static_cast<uint32_t>(a));
    } else {
        return false;
    }
    return true;
}

// Reads script text (no environment access, so a self-test can feed it).
template <typename S>
void ReadScript(const std::string& text, const ScriptRules<S>& rules, SharedScript<S>& script) {
    for (size_t start = 0; start < text.size();) {
        const size_t end = std::min(text.find('\n', start), text.size());
        const std::string line = text.substr(start, end - start);
        start = end + 1;
        const ScriptWords w = ScriptLineWords(line);
        if (!w.empty() && !ReadSharedLine(w, rules, script) && !rules.ReadOther(w))
            script.Problems.push_back(line.substr(0, line.find_last_not_of("\r") + 1));
    }
    std::stable_sort(script.Timeline.begin(), script.Timeline.end(),
                     [](const S& x, const S& y) { return x.AtMs < y.AtMs; });
}

// A double's script, read on first use and kept for the process; each line
// it could not read is reported once.
template <typename Script>
const Script& ProcessScript(Script (*load)(), void (*report)(const std::string& problem)) {
    static const Script script = [&] {
        Script read = load();
        for (const std::string& problem : read.Problems) report(problem);
        return read;
    }();
    return script;
}

bool ScriptGateOpen(const std::string& path);

// The signal ms into the timeline (none before its first point), or that of
// the last gate whose file exists.
template <typename S>
S ScriptedSignalAt(const SharedScript<S>& script, uint32_t ms, S none) {
    S now = none;
    if (script.LoopMs > 0) ms %= script.LoopMs;
    for (const S& p : script.Timeline) {
        if (p.AtMs > ms) break;
        now = p;
    }
    for (const GatedSignal<S>& gate : script.Gates)
        if (ScriptGateOpen(gate.Path)) now = gate.Signal;
    return now;
}
