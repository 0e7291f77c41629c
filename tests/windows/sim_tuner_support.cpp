#include "sim_tuner_support.h"

#include <windows.h>

#include <fstream>
#include <sstream>

namespace {

std::string TestFile(const std::string& suffix) {
    char folder[MAX_PATH];
    GetTempPathA(MAX_PATH, folder);
    return std::string(folder) + "zentrik-" + std::to_string(GetCurrentProcessId()) + suffix;
}

// The gates of this process: an earlier process of the same id may have left some.
std::string GatePath(const std::string& name) { return TestFile(".gate-" + name); }

void RemoveGates() {
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA(GatePath("*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return;
    char folder[MAX_PATH];
    GetTempPathA(MAX_PATH, folder);
    do DeleteFileA((std::string(folder) + found.cFileName).c_str());
    while (FindNextFileA(search, &found));
    FindClose(search);
}

}  // namespace

void UseSimulatedTuner(const std::string& script) {
    RemoveGates();
    std::string text = script;
    for (size_t at; (at = text.find("GATE:")) != std::string::npos;) text.replace(at, 5, GatePath(""));
    const std::string scriptPath = TestFile(".script");
    std::ofstream(scriptPath) << text;
    const std::string logPath = TestFile(".log");
    DeleteFileA(logPath.c_str());
    SetEnvironmentVariableA("ZENTRIK_SIM_SCRIPT", scriptPath.c_str());
    SetEnvironmentVariableA("ZENTRIK_SIM_LOG", logPath.c_str());
}

std::vector<TunerCall> TunerLog() {
    std::vector<TunerCall> calls;
    std::ifstream log(TestFile(".log"));
    for (std::string line; std::getline(log, line);) {
        std::istringstream fields(line);
        TunerCall call;
        fields >> call.Millisecond >> call.Thread >> call.Method >> call.Argument >> call.Result;
        if (line.rfind("FAULT", 0) == 0) call.Method = "FAULT";
        calls.push_back(call);
    }
    return calls;
}

std::vector<std::string> TuningCalls(const std::vector<TunerCall>& log) {
    std::vector<std::string> calls;
    for (const TunerCall& call : log) {
        // Only what the card is told: not the polling, not the COM plumbing.
        if (call.Method.rfind("Set", 0) != 0 && call.Method != "InitializeControl") continue;
        calls.push_back(call.Argument == "-" ? call.Method : call.Method + " " + call.Argument);
    }
    return calls;
}

bool LogHasOverlap() {
    for (const TunerCall& call : TunerLog())
        if (call.Method == "FAULT") return true;
    return false;
}

std::string TunerScriptAndLog() {
    std::ifstream script(TestFile(".script")), log(TestFile(".log"));
    std::ostringstream text;
    text << "tuner script:\n" << script.rdbuf() << "tuner log:\n" << log.rdbuf();
    return text.str();
}

void OpenSimulatedGate(const std::string& name) { std::ofstream(GatePath(name)) << name; }
