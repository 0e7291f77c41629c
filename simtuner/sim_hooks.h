// What a test build of the simulated tuner adds to it (ZENTRIK_SIM_SCRIPTED,
// tests/simtuner): a scripted signal, forced results, a chosen latency and a
// call log, all read from the environment. The demo tuner that ships is built
// without them: it plays its fixed demonstration, and nothing in its
// environment changes that. Its calls into these hooks compile to nothing.
#pragma once
#include <windows.h>

#include <cstdint>

#include "tuner/signal_readings_interface.h"

// The pause of each QueryLock and ReadSignalLevel, as a card's driver takes.
constexpr uint32_t kSimLatencyMs = 20;

// A scripted signal.
struct SimSignal {
    uint32_t AtMs = 0;  // from the object's first InitializeControl
    bool Locked = false;
    int32_t Level = 0;
    bool WritesLevel = true;  // false: ReadSignalLevel leaves the caller's value alone
    // What the readings interface gives, in percent, or kSignalPercentUnknown.
    int32_t Strength = kSignalPercentUnknown;
    int32_t Quality = kSignalPercentUnknown;
};

// The name of an interface, as the call log shows it (test build only).
const char* SimInterfaceName(REFIID iid);

#ifdef ZENTRIK_SIM_SCRIPTED
// Reads the environment, once per process.
void SimPrepare();
// The scripted signal at ms; false when there is no script and the demo plays.
bool SimScriptedSignal(uint32_t ms, SimSignal* signal);
// A forced result for the call (a tuner-control method, "Create" or "QueryInterface").
bool SimForcedResult(const char* call, HRESULT* result);
uint32_t SimLatencyMs();
// One line of the call log; each is on disk once the call returns.
void SimLog(const char* format, ...);
#define SIM_LOG(...) SimLog(__VA_ARGS__)
#else
inline void SimPrepare() {}
inline bool SimScriptedSignal(uint32_t, SimSignal*) { return false; }
inline bool SimForcedResult(const char*, HRESULT*) { return false; }
inline uint32_t SimLatencyMs() { return kSimLatencyMs; }
// Never defined: the log's arguments are checked by the compiler but neither
// evaluated nor kept, so no log text is in the demo.
int SimLogDropped(const char* format, ...);
#define SIM_LOG(...) static_cast<void>(sizeof(SimLogDropped(__VA_ARGS__)))
#endif
