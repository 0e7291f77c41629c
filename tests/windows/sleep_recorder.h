// The program's waits, seen and shortened. The program's import of Sleep is
// pointed at a recorder that notes what each thread asked for and returns
// after a token millisecond, so a test asserts the requested pauses instead of
// waiting through them on the clock. A run with ZENTRIK_TEST_REAL_TIME set
// (the sound capture) still records, but sleeps for real.
#pragma once
#include <windows.h>
#include <vector>

struct SleepRequest {
    DWORD Thread;
    DWORD Milliseconds;
};

// Installs once per process; false when the program does not import Sleep.
bool InstallSleepRecorder();
// Whether the recorder is installed and shortens the program's sleeps.
bool SleepsShortened();
// Sleeps for real whatever the recorder does: for the tests' own waits.
void RealSleep(DWORD milliseconds);
// The calling thread's sleeps are not recorded and not shortened (the tests'
// own helper threads).
void SleepForRealOnThisThread();

std::vector<SleepRequest> SleepRequests();
std::vector<DWORD> SleepsOf(DWORD thread);
void ForgetSleepRequests();
// The sum of the sleeps the calling thread has asked for so far: the time the
// program believes has passed on that thread.
ULONGLONG SleptOnThisThread();

// The next request of exactly this length, from any recorded thread, blocks
// until ReleaseHeldSleep: a test can act at a known point of a wait. A hold
// may be armed again while the previous one is still held.
void HoldNextSleepOf(DWORD milliseconds);
// Whether a held request arrived within the given real time.
bool WaitForHeldSleep(DWORD milliseconds);
void ReleaseHeldSleep();
