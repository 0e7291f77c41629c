#include "bdatuner/bda_worker.h"

#include <objbase.h>

#include <new>

namespace {

constexpr int kQueueLength = 8;

struct QueuedJob {
    BdaJob Job;
    ULONGLONG Ticket;
};

}  // namespace

struct BdaWorker {
    void* Context = nullptr;
    void (*Destroy)(void*) = nullptr;
    HANDLE Thread = nullptr;
    HMODULE Module = nullptr;  // held by the thread until it ends
    CRITICAL_SECTION Lock;
    CONDITION_VARIABLE Work;  // a job was queued, or the end was asked for
    CONDITION_VARIABLE Done;  // a job has run
    QueuedJob Queue[kQueueLength];
    int Queued = 0;
    ULONGLONG Posted = 0, Completed = 0;  // tickets, counted from 1
    bool Ending = false;             // the thread ends once the queue is empty
    bool Ready = false;
    HRESULT ApartmentResult = S_OK;
    LONG Holders = 2;  // the owner and the thread
};

namespace {

// The last of the owner and the thread to let go frees the worker.
void LetGo(BdaWorker* worker) {
    if (InterlockedDecrement(&worker->Holders) != 0) return;
    if (worker->Destroy) worker->Destroy(worker->Context);
    DeleteCriticalSection(&worker->Lock);
    delete worker;
}

// Under the lock: the ticket of job, queued now unless it is waiting already;
// 0 when it cannot be queued. The last place is kept for the final job.
ULONGLONG Enqueue(BdaWorker* worker, BdaJob job, bool final) {
    for (int i = 0; i < worker->Queued; ++i)
        if (worker->Queue[i].Job == job) return worker->Queue[i].Ticket;
    if (worker->Ending || worker->Queued >= kQueueLength - (final ? 0 : 1)) return 0;
    const ULONGLONG ticket = ++worker->Posted;
    worker->Queue[worker->Queued++] = QueuedJob{job, ticket};
    WakeConditionVariable(&worker->Work);
    return ticket;
}

// The next job, or null when the thread is to end; waits for one.
BdaJob TakeJob(BdaWorker* worker) {
    EnterCriticalSection(&worker->Lock);
    while (worker->Queued == 0 && !worker->Ending) SleepConditionVariableCS(&worker->Work, &worker->Lock, INFINITE);
    BdaJob job = nullptr;
    if (worker->Queued > 0) {
        job = worker->Queue[0].Job;
        for (int i = 1; i < worker->Queued; ++i) worker->Queue[i - 1] = worker->Queue[i];
        --worker->Queued;
    }
    LeaveCriticalSection(&worker->Lock);
    return job;
}

void AnnounceApartment(BdaWorker* worker, HRESULT result) {
    EnterCriticalSection(&worker->Lock);
    worker->ApartmentResult = result;
    worker->Ready = true;
    LeaveCriticalSection(&worker->Lock);
    WakeAllConditionVariable(&worker->Done);
}

DWORD WINAPI BdaWorkerMain(void* parameter) {
    BdaWorker* worker = static_cast<BdaWorker*>(parameter);
    const HMODULE module = worker->Module;
    const HRESULT apartment = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    AnnounceApartment(worker, apartment);
    if (SUCCEEDED(apartment)) {
        while (BdaJob job = TakeJob(worker)) {
            job(worker->Context);
            EnterCriticalSection(&worker->Lock);
            ++worker->Completed;
            LeaveCriticalSection(&worker->Lock);
            WakeAllConditionVariable(&worker->Done);
        }
        CoUninitialize();
    }
    LetGo(worker);
    FreeLibraryAndExitThread(module, 0);
}

// Waits under the lock until ticket has run or the time is up.
bool WaitForTicket(BdaWorker* worker, ULONGLONG ticket, DWORD limitMs) {
    const ULONGLONG deadline = GetTickCount64() + limitMs;
    for (;;) {
        if (worker->Completed >= ticket) return true;
        const ULONGLONG now = GetTickCount64();
        if (now >= deadline) return false;
        SleepConditionVariableCS(&worker->Done, &worker->Lock, static_cast<DWORD>(deadline - now));
    }
}

}  // namespace

BdaWorker* StartBdaWorker(void* context, void (*destroy)(void*)) {
    BdaWorker* worker = new (std::nothrow) BdaWorker;
    if (!worker) return nullptr;
    worker->Context = context;
    InitializeCriticalSection(&worker->Lock);
    InitializeConditionVariable(&worker->Work);
    InitializeConditionVariable(&worker->Done);
    // The thread's own reference: code it runs stays mapped while a driver call blocks it.
    GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS, reinterpret_cast<LPCWSTR>(&BdaWorkerMain),
                       &worker->Module);
    if (worker->Module) worker->Thread = CreateThread(nullptr, 0, BdaWorkerMain, worker, 0, nullptr);
    if (!worker->Thread) {
        if (worker->Module) FreeLibrary(worker->Module);
        DeleteCriticalSection(&worker->Lock);
        delete worker;
        return nullptr;
    }
    EnterCriticalSection(&worker->Lock);
    while (!worker->Ready) SleepConditionVariableCS(&worker->Done, &worker->Lock, INFINITE);
    const HRESULT apartment = worker->ApartmentResult;
    LeaveCriticalSection(&worker->Lock);
    if (FAILED(apartment)) {  // the thread has let go and is ending
        WaitForSingleObject(worker->Thread, INFINITE);
        CloseHandle(worker->Thread);
        LetGo(worker);
        return nullptr;
    }
    worker->Destroy = destroy;
    return worker;
}

bool RunBdaJob(BdaWorker* worker, BdaJob job, DWORD limitMs) {
    EnterCriticalSection(&worker->Lock);
    const ULONGLONG ticket = Enqueue(worker, job, false);
    const bool ran = ticket != 0 && WaitForTicket(worker, ticket, limitMs);
    LeaveCriticalSection(&worker->Lock);
    return ran;
}

bool PostBdaJob(BdaWorker* worker, BdaJob job) {
    EnterCriticalSection(&worker->Lock);
    const bool queued = Enqueue(worker, job, false) != 0;
    LeaveCriticalSection(&worker->Lock);
    return queued;
}

bool StopBdaWorker(BdaWorker* worker, BdaJob last, DWORD limitMs) {
    EnterCriticalSection(&worker->Lock);
    Enqueue(worker, last, true);
    worker->Ending = true;
    WakeConditionVariable(&worker->Work);
    LeaveCriticalSection(&worker->Lock);
    const HANDLE thread = worker->Thread;
    const bool ended = WaitForSingleObject(thread, limitMs) == WAIT_OBJECT_0;
    CloseHandle(thread);
    LetGo(worker);
    return ended;
}
