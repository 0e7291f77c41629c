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
// objects only ever see that one thread.
//
// Why every wait has a limit: a driver call may never return (a USB tuner
// pulled out mid-call). A caller that gives up leaves the job to finish
// whenever the driver lets go, so a job works only on its context, which the
// worker owns: it lives until the thread has ended, and the thread keeps the
// module loaded until then. Nothing a job touches is ever freed under it.
#pragma once
#include <windows.h>

typedef void (*BdaJob)(void* context);

struct BdaWorker;

// Starts the thread for the context and waits until its apartment is ready.
// destroy(context) runs once the owner has stopped the worker and the thread
// has ended, on whichever of the two comes last. Null if the thread or its
// apartment could not be had; the context is then the caller's again.
BdaWorker* StartBdaWorker(void* context, void (*destroy)(void* context));
// Queues job(context) and waits up to limitMs for it to have run; false when
// it has not (it still runs later). A job already waiting in the queue is not
// queued twice: the caller waits for that one.
bool RunBdaJob(BdaWorker* worker, BdaJob job, DWORD limitMs);
// Queues job(context) without waiting; may be called from a job. False when
// the queue had no room.
bool PostBdaJob(BdaWorker* worker, BdaJob job);
// Queues last(context) as the final job and lets go of the worker, waiting up
// to limitMs for the thread to end; false when it had not ended by then (it
// ends by itself once the driver returns, and destroys the context then).
bool StopBdaWorker(BdaWorker* worker, BdaJob last, DWORD limitMs);
