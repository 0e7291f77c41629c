// Benchmarks of the running program under Wine, printing figures only:
// feedback cycle lengths, CPU use while measuring, the delay from a level
// change to the repaint request and to the painted bar, the cost of a paint;
// with "click": the answer time to a click while the poller runs flat out and
// the time from a click on FIND> to the first tuning call.
// (Wine reports no private memory figure; startup_bench.py reads it from Linux.)
#include <windows.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <string>
#include <cstdio>
#include <mutex>
#include <thread>
#include <vector>

#include "app/actions.h"
#include "app/app_state.h"
#include "../windows/import_hook.h"
#include "../windows/sim_tuner_support.h"
#include "../windows/sound_recorder.h"
#include "../windows/window_test_support.h"

namespace {

double Seconds(FILETIME t) {
    return (static_cast<ULONGLONG>(t.dwHighDateTime) << 32 | t.dwLowDateTime) / 1e7;
}

// Milliseconds since this process started, the clock of the tuner's log.
uint32_t MsSinceProcessStart() {
    FILETIME created, exited, kernel, user, now;
    GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user);
    GetSystemTimeAsFileTime(&now);
    return static_cast<uint32_t>((Seconds(now) - Seconds(created)) * 1000.0);
}

double ProcessCpuSeconds() {
    FILETIME created, ended, kernel, user;
    GetProcessTimes(GetCurrentProcess(), &created, &ended, &kernel, &user);
    return Seconds(kernel) + Seconds(user);
}

void PrintSpread(const char* what, std::vector<double> values) {
    if (values.empty()) {
        std::printf("%-44s no samples\n", what);
        return;
    }
    std::sort(values.begin(), values.end());
    double sum = 0;
    for (double v : values) sum += v;
    std::printf("%-44s n=%zu mean %.1f  min %.1f  median %.1f  max %.1f\n", what, values.size(),
                sum / values.size(), values.front(), values[values.size() / 2], values.back());
}

// Gaps between cycle starts: the first sound of each cycle.
void CycleLengths(int16_t mode, int32_t cadence, const char* label) {
    ForgetPlayedSounds();
    App.SoundMode.store(mode);
    App.Cadence.store(cadence);
    StartHotBird();
    PumpMessages(mode == Voice ? 9500 : 8500);
    StopMeasurement();
    std::vector<PlayedSound> played = PlayedSounds();
    std::vector<double> gaps;
    const size_t step = mode == Voice ? 2 : 1;
    for (size_t i = step; i < played.size(); i += step) gaps.push_back(double(played[i].At - played[i - step].At));
    if (!gaps.empty()) gaps.erase(gaps.begin());  // the first gap may straddle the start
    PrintSpread(label, gaps);
}

// Silent and muted cycles play nothing; each is seen as the feedback thread's
// pause of one cadence, timed from one pause to the next.
using SleepFunction = void(WINAPI*)(DWORD);
SleepFunction realSleep = nullptr;
std::atomic<DWORD> watchedPause{0};
std::mutex pausesLock;
std::vector<ULONGLONG> pauses;

void WINAPI RecordingSleep(DWORD milliseconds) {
    if (milliseconds == watchedPause.load()) {
        std::lock_guard<std::mutex> guard(pausesLock);
        pauses.push_back(GetTickCount64());
    }
    realSleep(milliseconds);
}

void QuietCycleLengths(int16_t mode, int32_t cadence, const char* label) {
    App.SoundMode.store(Silent);
    App.Cadence.store(cadence);
    StartHotBird();
    App.SoundMode.store(mode);  // muting is only possible once measuring
    {
        std::lock_guard<std::mutex> guard(pausesLock);
        pauses.clear();
    }
    watchedPause.store(static_cast<DWORD>(cadence));
    PumpMessages(8 * cadence + cadence / 2);
    watchedPause.store(0);
    StopMeasurement();
    std::vector<double> gaps;
    std::lock_guard<std::mutex> guard(pausesLock);
    for (size_t i = 1; i < pauses.size(); ++i) gaps.push_back(double(pauses[i] - pauses[i - 1]));
    PrintSpread(label, gaps);
}

// With the tuner answering at once the poller asks for repaints flat out; a
// click must still be answered promptly. Input is queued before paints, so a
// posted click is timed from posting to its dispatch by the window.
int ClickResponse() {
    UseSimulatedTuner("latency 0\nat 0 lock 1 level 60\n");
    StartProgram();
    App.SoundMode.store(Silent);
    StartHotBird();
    PumpMessages(500);
    std::vector<double> answers;
    for (int i = 0; i < 50; ++i) {
        LARGE_INTEGER frequency, posted, handled;
        QueryPerformanceFrequency(&frequency);
        QueryPerformanceCounter(&posted);
        PostMessageA(App.MainWindow, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(200, 60));
        MSG message;
        for (bool seen = false; !seen;) {
            if (!GetMessageA(&message, nullptr, 0, 0)) return 1;
            seen = message.message == WM_LBUTTONDOWN;
            DispatchMessageA(&message);
        }
        QueryPerformanceCounter(&handled);
        answers.push_back((handled.QuadPart - posted.QuadPart) * 1000.0 / frequency.QuadPart);
        PumpMessages(20);
    }
    std::printf("Simulated tuner at 0 ms per call:\n");
    PrintSpread("  click posted -> handled by the window (ms)", answers);
    StopMeasurement();

    // A click on FIND> to the first tuning call the card receives.
    std::vector<double> toTuning;
    for (int round = 0; round < 10; ++round) {
        ChooseHotBird();
        const size_t logged = TunerLog().size();
        const uint32_t clicked = MsSinceProcessStart();
        PostMessageA(App.MainWindow, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(272, 174));
        PumpMessages(100);
        const std::vector<TunerCall> log = TunerLog();
        for (size_t i = logged; i < log.size(); ++i)
            if (log[i].Method == "SetLnbSelection") {
                toTuning.push_back(double(log[i].Millisecond) - clicked);
                break;
            }
        StopMeasurement();
    }
    PrintSpread("  click on FIND> -> first tuning call (ms)", toTuning);
    DestroyWindow(App.MainWindow);
    RunUntilQuit();
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc > 1 && std::string(argv[1]) == "click") return ClickResponse();
    const bool quick = argc > 1 && std::string(argv[1]) == "quick";
    InstallSoundRecorder();
    std::string timeline = "latency 20\nat 0 lock 1 level 60\n";
    for (int change = 0; change < 8; ++change)
        timeline += "at " + std::to_string(80000 + 2000 * change) + " lock 1 level " +
                    (change % 2 ? "40" : "20") + "\n";
    UseSimulatedTuner(timeline);
    StartProgram();

    std::printf("Feedback cycle lengths (ms), simulated tuner at 20 ms per call:\n");
    CycleLengths(Tone, 1200, "  Tone, cadence 1200 (expected 1600)");
    CycleLengths(Tone, 900, "  Tone, cadence 900 (expected 1300)");
    CycleLengths(Voice, 1200, "  Voice, cadence 1200 (expected 1800)");
    CycleLengths(Voice, 900, "  Voice, cadence 900 (expected 1500)");
    if (!quick) {
        realSleep = reinterpret_cast<SleepFunction>(
            ReplaceImport("kernel32.dll", "Sleep", reinterpret_cast<void*>(&RecordingSleep)));
        if (realSleep) {
            QuietCycleLengths(Silent, 1200, "  Silent, cadence 1200 (expected 1200)");
            QuietCycleLengths(Silent, 900, "  Silent, cadence 900 (expected 900)");
            QuietCycleLengths(Muted, 1200, "  Muted, cadence 1200 (expected 1200)");
            QuietCycleLengths(Muted, 900, "  Muted, cadence 900 (expected 900)");
        }
    }

    std::printf("Measuring at 20 ms per call:\n");
    App.SoundMode.store(Tone);
    App.Cadence.store(1200);
    StartHotBird();
    PumpMessages(300);
    const double cpuBefore = ProcessCpuSeconds();
    const ULONGLONG wallBefore = GetTickCount64();
    // The program's own loop, for five seconds.
    const UINT_PTR timer = SetTimer(nullptr, 0, 5000, nullptr);
    for (MSG message; GetMessageA(&message, nullptr, 0, 0);) {
        if (message.message == WM_TIMER && message.wParam == timer) break;
        DispatchMessageA(&message);
    }
    KillTimer(nullptr, timer);
    const double cpu = ProcessCpuSeconds() - cpuBefore;
    const double wall = (GetTickCount64() - wallBefore) / 1000.0;
    std::printf("  CPU use of the process: %.2f%% of one core (%.3f s in %.1f s)\n",
                100.0 * cpu / wall, cpu, wall);

    // Level changes: the simulated tuner switches every 2 s from 80 s on its
    // timeline (which starts at its first InitializeControl). The poller's
    // store of the new level is the moment it asks for the repaint; the bar
    // edge changing is the paint. All three are stamped on the tuner log's clock.
    std::vector<double> toRequest, toPaint;
    {
        uint32_t timelineStart = 0;
        for (const TunerCall& call : TunerLog())
            if (call.Method == "InitializeControl") { timelineStart = call.Millisecond; break; }
        for (int change = 0; change < 8; ++change) {
            const int32_t level = change % 2 ? 40 : 20;
            const int edge = static_cast<int>(level * 2.65 + 42.0);
            const double changedAt = timelineStart + 80000.0 + 2000.0 * change;
            if (MsSinceProcessStart() > changedAt - 300) continue;  // too late to watch this one
            std::atomic<uint32_t> requestedAt{0};
            std::thread watcher([&] {
                while (App.SignalLevel.load() != level) std::this_thread::yield();
                requestedAt.store(MsSinceProcessStart());
            });
            uint32_t paintedAt = 0;
            while (!paintedAt) {
                MsgWaitForMultipleObjects(0, nullptr, FALSE, 1, QS_ALLINPUT);
                MSG message;
                while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
                    DispatchMessageA(&message);
                    if (App.BarFill.right == edge && requestedAt.load()) paintedAt = MsSinceProcessStart();
                }
            }
            watcher.join();
            toRequest.push_back(requestedAt.load() - changedAt);
            toPaint.push_back(paintedAt - changedAt);
        }
    }
    PrintSpread("  level change -> repaint request (ms)", toRequest);
    PrintSpread("  level change -> painted bar (ms)", toPaint);
    StopMeasurement();

    // Paint cost: a whole-window paint and a bar-area paint.
    App.RunMode.store(Measuring);
    App.SignalLevel.store(50);
    std::vector<double> full, bar;
    LARGE_INTEGER frequency, a, b;
    QueryPerformanceFrequency(&frequency);
    for (int i = 0; i < 200; ++i) {
        InvalidateRect(App.MainWindow, nullptr, TRUE);
        QueryPerformanceCounter(&a);
        UpdateWindow(App.MainWindow);
        GdiFlush();
        QueryPerformanceCounter(&b);
        full.push_back((b.QuadPart - a.QuadPart) * 1000.0 / frequency.QuadPart);
        InvalidateRect(App.MainWindow, &App.BarArea, TRUE);
        QueryPerformanceCounter(&a);
        UpdateWindow(App.MainWindow);
        GdiFlush();
        QueryPerformanceCounter(&b);
        bar.push_back((b.QuadPart - a.QuadPart) * 1000.0 / frequency.QuadPart);
    }
    App.RunMode.store(Setup);
    PrintSpread("  full paint (ms)", full);
    PrintSpread("  BarArea paint (ms)", bar);
    DestroyWindow(App.MainWindow);
    RunUntilQuit();
    return 0;
}
