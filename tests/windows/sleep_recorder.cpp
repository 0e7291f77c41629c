#include "sleep_recorder.h"

#include <atomic>
#include <cstdlib>
#include <mutex>

#include "import_hook.h"

namespace {

using SleepFunction = void(WINAPI*)(DWORD);
SleepFunction realSleep = nullptr;
bool realTime = false;

std::mutex requestsLock;
std::vector<SleepRequest> requests;
thread_local bool sleepsForReal = false;
thread_local ULONGLONG slept = 0;

// A hold is armed for one length and met once; the thread that meets it
// signals the held event and parks until the release event lets it go.
// Releasing is automatic-reset: one release lets one held thread go.
std::atomic<DWORD> heldLength{0};
HANDLE heldEvent = nullptr;
HANDLE releaseEvent = nullptr;

void WaitIfHeld(DWORD milliseconds) {
    DWORD armed = milliseconds;
    if (!heldLength.compare_exchange_strong(armed, 0)) return;
    SetEvent(heldEvent);
    WaitForSingleObject(releaseEvent, INFINITE);
}

void WINAPI RecordingSleep(DWORD milliseconds) {
    if (sleepsForReal || milliseconds == 0) {
        realSleep(milliseconds);
        return;
    }
    {
        std::lock_guard<std::mutex> guard(requestsLock);
        requests.push_back({GetCurrentThreadId(), milliseconds});
    }
    slept += milliseconds;
    WaitIfHeld(milliseconds);
    // A token pause keeps a looping thread from taking a whole core.
    realSleep(realTime ? milliseconds : 1);
}

}  // namespace

bool InstallSleepRecorder() {
    if (realSleep) return true;
    const char* mode = std::getenv("ZENTRIK_TEST_REAL_TIME");
    realTime = mode && *mode && *mode != '0';
    heldEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    releaseEvent = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    realSleep = reinterpret_cast<SleepFunction>(
        ReplaceImport("kernel32.dll", "Sleep", reinterpret_cast<void*>(&RecordingSleep)));
    return realSleep != nullptr;
}

bool SleepsShortened() { return realSleep && !realTime; }

void RealSleep(DWORD milliseconds) { (realSleep ? realSleep : Sleep)(milliseconds); }

void SleepForRealOnThisThread() { sleepsForReal = true; }

std::vector<SleepRequest> SleepRequests() {
    std::lock_guard<std::mutex> guard(requestsLock);
    return requests;
}

std::vector<DWORD> SleepsOf(DWORD thread) {
    std::vector<DWORD> lengths;
    for (const SleepRequest& request : SleepRequests())
        if (request.Thread == thread) lengths.push_back(request.Milliseconds);
    return lengths;
}

void ForgetSleepRequests() {
    std::lock_guard<std::mutex> guard(requestsLock);
    requests.clear();
}

ULONGLONG SleptOnThisThread() { return slept; }

void HoldNextSleepOf(DWORD milliseconds) {
    ResetEvent(heldEvent);
    heldLength.store(milliseconds);
}

bool WaitForHeldSleep(DWORD milliseconds) {
    return WaitForSingleObject(heldEvent, milliseconds) == WAIT_OBJECT_0;
}

void ReleaseHeldSleep() {
    SetEvent(releaseEvent);
}
