// The program's side of the tuner's optional readings interface
// (tuner/signal_readings_interface.h): the card's strength and quality apart,
// published in AppState for the phone display. The poller holds the interface
// for the length of a measurement. Without it both stay unknown and the
// poller does nothing more than before. Free of windows.h.
#pragma once
#include <cstdint>

// A strength or quality not known: no interface, no lock, or none given.
constexpr int32_t kReadingUnknown = -1;

// The poller, before its first pass: takes the filter's readings interface
// if it has one.
void StartReadings();
// The poller, every pass, after its lock check: publishes the readings while
// locked, unknown otherwise.
void WatchReadings(bool locked);
// The poller, as the measurement ends: unknown again, the interface released.
void EndReadings();
