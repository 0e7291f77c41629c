// Tuning a built BDA graph and reading its signal: the tune request with the
// DiSEqC port set in the driver's change transaction, and the statistics
// from the card's most trusted nodes. Runs on the bridge's MTA worker.
#pragma once
#include "bdatuner/bda_graph.h"
#include "bdatuner/bda_level.h"
#include "bdatuner/bda_mapping.h"

// Where a reading came from: a node index of the topology, or one of these.
constexpr int kNoNode = -1;
constexpr int kProviderStrength = -2;  // the network provider's ITuner::get_SignalStrength

struct BdaReading {
    bool Answered = false;  // some node (or the provider) gave a lock
    bool Locked = false;
    SignalReadings Readings;
    int LockFrom = kNoNode;
    int StrengthFrom = kNoNode;
    int QualityFrom = kNoNode;
};

HRESULT SubmitBdaTune(BdaGraph* graph, const BdaTuneRequest& request);
// One reading: each value from the most trusted node that gives it; without
// any node, the network provider's own strength, whose 0 means "not tuned".
// S_OK when something answered.
HRESULT ReadBdaSignal(BdaGraph* graph, BdaReading* reading);
