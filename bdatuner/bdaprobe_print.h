// How bdaprobe prints what the bridge found: the tuners, the graph with each
// filter's pins and nodes, the tune request and the readings.
#pragma once
#include "bdatuner/bda_tuner.h"

void PrintName(const wchar_t* name);
// "none", "port A".."port D": the committed DiSEqC port of an LNB source.
const char* PortName(int32_t lnbSource);
void PrintTunerEntry(int index, const BdaDeviceId& id, void* context);
// When a registration for this user hides a tuner filter registered for all
// users under the same class id, says so and how to choose.
void NoteHiddenMakerFilter();

void PrintGraph(const BdaProbeReport& report);
void PrintTuneRequest(const BdaProbeReport& report);
void PrintReadingHeader();
void PrintReading(int second, const BdaProbeReport& report);
void PrintModulationOutcome(const BdaProbeReport& report);
void PrintFailure(const char* what, const BdaProbeReport& report);
