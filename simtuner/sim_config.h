// Settings of the simulated tuner, read once per process from the environment:
//   ZENTRIK_SIM_SCRIPT   path of a script file (format in sim_config.cpp)
//   ZENTRIK_SIM_LOG      path of a call log, one line appended per call
//   ZENTRIK_SIM_LATENCY  milliseconds each QueryLock/ReadSignalLevel sleeps
#pragma once
#include <windows.h>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

struct SignalPoint {
    uint32_t AtMs;   // from the object's first InitializeControl
    bool Locked;
    int32_t Level;
    bool WritesLevel = true;  // false: ReadSignalLevel leaves the caller's value alone
};

// A signal that holds while a file exists.
struct SignalGate {
    std::string Path;
    SignalPoint Signal;
};

struct SimConfig {
    uint32_t LatencyMs = 20;
    bool Scripted = false;              // a script with at least one "at" or "on" line
    std::vector<SignalPoint> Timeline;  // sorted by AtMs
    std::vector<SignalGate> Gates;      // in script order
    uint32_t LoopMs = 0;                // 0: the last point holds forever
    std::map<std::string, HRESULT> Failures;  // method name -> forced result
    std::wstring LogPath;
    std::vector<std::string> Problems;  // script lines that could not be read

    bool FailureFor(const char* method, HRESULT* result) const;
    // The scripted signal at a time on the timeline, or that of a gate whose
    // file exists.
    SignalPoint SignalAt(uint32_t ms) const;
};

// Parses script text into config (no environment access).
void ParseScript(const std::string& text, SimConfig& config);
// The process-wide config; the environment is read on the first call.
const SimConfig& Config();

// Call log. Each line is written with one WriteFile, so it is on disk even if
// the process is killed right after.
void LogLine(const char* format, ...);
uint32_t MsSinceProcessStart();
