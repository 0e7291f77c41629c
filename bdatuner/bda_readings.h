// The bridge's answer to the program's readings interface
// (tuner/signal_readings_interface.h): the strength and quality of the latest
// statistics read, each in percent and as the card gave it.
#pragma once
#include "bdatuner/bda_tuner.h"
#include "tuner/signal_readings_interface.h"

// Unknown throughout for a read that no node answered or that timed out.
ZentrikSignalInfo SignalInfoOf(const BdaProbeReport& report);
