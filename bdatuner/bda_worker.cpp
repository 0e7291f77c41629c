#include "bdatuner/bda_worker.h"

#include <objbase.h>

namespace {

DWORD WINAPI BdaWorkerMain(void* parameter) {
    BdaWorker* worker = static_cast<BdaWorker*>(parameter);
    worker->ApartmentResult = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    SetEvent(worker->Done);
    if (FAILED(worker->ApartmentResult)) return 1;
    for (;;) {
        WaitForSingleObject(worker->Request, INFINITE);
        if (!worker->Job) break;
        worker->Result = worker->Job(worker->Context);
        SetEvent(worker->Done);
    }
    CoUninitialize();
    return 0;
}

void CloseWorkerHandles(BdaWorker* worker) {
    if (worker->Thread) CloseHandle(worker->Thread);
    if (worker->Request) CloseHandle(worker->Request);
    if (worker->Done) CloseHandle(worker->Done);
    DeleteCriticalSection(&worker->CallLock);
    worker->Thread = worker->Request = worker->Done = nullptr;
}

}  // namespace

bool StartBdaWorker(BdaWorker* worker) {
    InitializeCriticalSection(&worker->CallLock);
    worker->Request = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    worker->Done = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    if (worker->Request && worker->Done)
        worker->Thread = CreateThread(nullptr, 0, BdaWorkerMain, worker, 0, nullptr);
    if (!worker->Thread) {
        CloseWorkerHandles(worker);
        return false;
    }
    WaitForSingleObject(worker->Done, INFINITE);
    if (FAILED(worker->ApartmentResult)) {
        WaitForSingleObject(worker->Thread, INFINITE);
        CloseWorkerHandles(worker);
        return false;
    }
    return true;
}

HRESULT RunOnBdaWorker(BdaWorker* worker, BdaJob job, void* context) {
    if (!worker->Thread) return E_UNEXPECTED;
    EnterCriticalSection(&worker->CallLock);
    worker->Job = job;
    worker->Context = context;
    SetEvent(worker->Request);
    WaitForSingleObject(worker->Done, INFINITE);
    const HRESULT result = worker->Result;
    LeaveCriticalSection(&worker->CallLock);
    return result;
}

void StopBdaWorker(BdaWorker* worker) {
    if (!worker->Thread) return;
    EnterCriticalSection(&worker->CallLock);
    worker->Job = nullptr;
    SetEvent(worker->Request);
    LeaveCriticalSection(&worker->CallLock);
    WaitForSingleObject(worker->Thread, INFINITE);
    CloseWorkerHandles(worker);
}
