// What the bridge keeps on its worker: the graph, the tune request, the level
// rule and the modulation search, and the jobs that work on them. The session
// belongs to the worker (see bda_worker.h): a job that outlives its caller's
// patience still finds it whole.
#pragma once
#include <windows.h>

#include "bdatuner/bda_graph.h"
#include "bdatuner/bda_tuner.h"
#include "bdatuner/bda_worker.h"

struct BdaSession {
    CRITICAL_SECTION Lock;  // guards Settings, Report and Result
    BdaTuneSettings Settings;  // the owner's, for the next tune job
    BdaProbeReport Report;     // as the latest job left it
    HRESULT Result = S_OK;     // of the latest build or tune job
    // The rest is the worker's alone.
    BdaWorker* Worker = nullptr;
    BdaGraph Graph;
    bool Built = false;
    BdaTuneRequest Request;
    bool Tuned = false;
    ULONGLONG TunedAtMs = 0;
    bool RetunePending = false;  // the other modulation is queued, not sent yet
    StrengthJudge Judge;
    ModulationSearch Search;
};

BdaSession* NewBdaSession();
void DeleteBdaSession(void* session);  // the worker's destroy callback

// The jobs; each leaves its result and the report in the session.
void BuildJob(void* session);
void TuneJob(void* session);
void ReadJob(void* session);
void TearDownJob(void* session);

// The owner's side: a copy of the report, and of the latest build or tune result.
void CopyBdaReport(BdaSession* session, BdaProbeReport* report);
HRESULT BdaJobResult(BdaSession* session);
void GiveBdaSettings(BdaSession* session, const BdaTuneSettings& settings);
