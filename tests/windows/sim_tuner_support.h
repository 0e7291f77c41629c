// Driving the simulated tuner from a test: its script and its call log.
#pragma once
#include <string>
#include <vector>

struct TunerCall {
    std::string Method;
    std::string Argument;
    std::string Result;
    unsigned long Thread = 0;
    unsigned long Millisecond = 0;
};

// Writes the script and the log path into the environment the simulated
// tuner reads when it is first created in this process. "GATE:name" in the
// script names a file of this test; the signal of its "on" line holds once
// OpenSimulatedGate(name) has made it, so a test moves the signal on when it
// has seen what it waited for, however slow the machine.
void UseSimulatedTuner(const std::string& script);
void OpenSimulatedGate(const std::string& name);
std::vector<TunerCall> TunerLog();
// The calls of one method name, or every call but the polling ones.
std::vector<std::string> TuningCalls(const std::vector<TunerCall>& log);
bool LogHasOverlap();
// The script and the log as they are now, for a failed test's report.
std::string TunerScriptAndLog();
