// The bridge's own thread, in COM's multithreaded apartment, on which every
// graph and tuning-model call runs.
//
// Why a thread of its own: the program creates the bridge on its UI thread
// (a single-threaded apartment) and then polls it from a thread that never
// initialised COM. Interface pointers obtained in one apartment may not be
// used from another, and the driver-side objects (network provider, the
// ksproxy filters, the tuning model) may be apartment-threaded. Keeping all
// of them on one MTA thread that the bridge owns makes every caller's
// apartment irrelevant: callers hand over a job and wait for it, and the
// objects only ever see that one thread. Calls are serialised, which the
// program's use (never overlapping) already implies.
#pragma once
#include <windows.h>

typedef HRESULT (*BdaJob)(void* context);

struct BdaWorker {
    HANDLE Thread = nullptr;
    HANDLE Request = nullptr;  // auto-reset: a job is waiting
    HANDLE Done = nullptr;     // auto-reset: the job has run
    CRITICAL_SECTION CallLock;
    BdaJob Job = nullptr;  // null asks the thread to end
    void* Context = nullptr;
    HRESULT Result = S_OK;
    HRESULT ApartmentResult = S_OK;
};

// Starts the thread and waits until its apartment is ready; false if the
// thread or its apartment could not be had (then nothing is left behind).
bool StartBdaWorker(BdaWorker* worker);
// Runs job(context) on the worker and returns its result.
HRESULT RunOnBdaWorker(BdaWorker* worker, BdaJob job, void* context);
// Ends the thread after its current job; a worker never started is skipped.
void StopBdaWorker(BdaWorker* worker);
