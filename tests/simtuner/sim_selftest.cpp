// Self-test of the simulated tuner: the scriptable test build
// (ZentrikScriptedTuner.dll, in this program's folder) and the demo that ships
// (the build's simtuner/ZentrikSimTuner.dll). Run from the build:
//   sim_selftest.exe
// It registers the scriptable DLL for the current user, checks the registry
// entries and then runs each scenario in a child process of its own (the DLL
// reads its environment once per process), going through CoCreateInstance
// each time; the demo is loaded from its file, with the variables that steer
// the test build set, which must change nothing.
// Exit code 0 only when every check passed.
#include <windows.h>
#include <objbase.h>

#include <atomic>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <sstream>
#include <mutex>
#include <string>
#include <vector>

#include "tests/windows/import_hook.h"
#include "tuner/signal_readings_interface.h"
#include "tuner/tuner_interface.h"
#include "tests/wine/class_mirror.h"

namespace {

int g_failures = 0;

void Check(bool ok, const char* what) {
    std::printf("  %s %s\n", ok ? "ok  " : "FAIL", what);
    if (!ok) ++g_failures;
    std::fflush(stdout);
}

void CheckHr(HRESULT got, HRESULT want, const char* what) {
    char text[256];
    std::snprintf(text, sizeof text, "%s (got 0x%08lX, want 0x%08lX)", what,
                  static_cast<unsigned long>(got), static_cast<unsigned long>(want));
    Check(got == want, text);
}

std::string Env(const char* name) {
    char buffer[1024];
    const DWORD n = GetEnvironmentVariableA(name, buffer, sizeof buffer);
    return (n > 0 && n < sizeof buffer) ? std::string(buffer, n) : std::string();
}

// ---- the simulated tuner's clock, as the scenarios set it ----
// The DLL's imports of GetTickCount64 and Sleep are pointed here: its timeline
// sees the time a scenario sets, and its pauses are recorded (and move its
// clock on) instead of being waited through. Nothing then depends on how fast
// the machine is.
std::atomic<ULONGLONG> g_clockMs{1000000};
std::mutex g_pausesMutex;
std::vector<DWORD> g_pauses;
// While set, the first pause waits until a second call pauses as well, so that
// two calls are certain to be inside the tuner at once.
std::atomic<bool> g_holdForSecondCall{false};
HANDLE g_secondCallPaused = nullptr;

ULONGLONG WINAPI TestClock() { return g_clockMs.load(); }

void WINAPI RecordedPause(DWORD milliseconds) {
    size_t pausing;
    {
        std::lock_guard<std::mutex> guard(g_pausesMutex);
        g_pauses.push_back(milliseconds);
        pausing = g_pauses.size();
    }
    g_clockMs += milliseconds;
    if (!g_holdForSecondCall.load()) return;
    if (pausing == 1) WaitForSingleObject(g_secondCallPaused, 20000);  // only a fault waits that long
    else SetEvent(g_secondCallPaused);
}

// The pauses the DLL asked for since the last call; forgets them.
std::vector<DWORD> TakePauses() {
    std::lock_guard<std::mutex> guard(g_pausesMutex);
    std::vector<DWORD> pauses;
    pauses.swap(g_pauses);
    return pauses;
}

bool AllPausesAre(const std::vector<DWORD>& pauses, DWORD milliseconds) {
    for (DWORD pause : pauses)
        if (pause != milliseconds) return false;
    return !pauses.empty();
}

constexpr wchar_t kScriptedTuner[] = L"ZentrikScriptedTuner.dll";

// The demo that ships, beside this build's tests folder.
std::wstring DemoTunerPath() {
    wchar_t exe[MAX_PATH];
    GetModuleFileNameW(nullptr, exe, MAX_PATH);
    const std::wstring path = exe;
    return path.substr(0, path.find_last_of(L"\\/") + 1) + L"..\\..\\simtuner\\ZentrikSimTuner.dll";
}

// Loads a DLL (CoCreateInstance then finds it loaded) and gives it the clock.
bool UseTestClock(const wchar_t* name = kScriptedTuner) {
    HMODULE dll = LoadLibraryW(name);
    g_secondCallPaused = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    return dll && ReplaceImportOf(dll, "KERNEL32.dll", "GetTickCount64", reinterpret_cast<void*>(&TestClock)) &&
           ReplaceImportOf(dll, "KERNEL32.dll", "Sleep", reinterpret_cast<void*>(&RecordedPause));
}

// One parsed log line: "<ms> <thread> <Method> <argument> <result>" or a FAULT line.
struct LogEntry {
    std::vector<std::string> Words;
    std::string Text;
};

std::vector<LogEntry> ReadLog() {
    std::vector<LogEntry> entries;
    const std::string path = Env("ZENTRIK_SIM_LOG");
    FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) return entries;
    char line[1024];
    while (std::fgets(line, sizeof line, f)) {
        LogEntry e;
        e.Text = line;
        while (!e.Text.empty() && (e.Text.back() == '\n' || e.Text.back() == '\r')) e.Text.pop_back();
        std::istringstream words(e.Text);
        for (std::string w; words >> w;) e.Words.push_back(w);
        entries.push_back(e);
    }
    std::fclose(f);
    return entries;
}

// Counts call lines for method (with the argument and result, "" matches any).
int CountCalls(const std::vector<LogEntry>& log, const std::string& method,
               const std::string& argument, const std::string& result, DWORD thread = 0) {
    int n = 0;
    for (const LogEntry& e : log) {
        if (e.Words.size() != 5 || e.Words[2] != method) continue;
        if (!argument.empty() && e.Words[3] != argument) continue;
        if (!result.empty() && e.Words[4] != result) continue;
        if (thread && e.Words[1] != std::to_string(thread)) continue;
        ++n;
    }
    return n;
}

int CountContaining(const std::vector<LogEntry>& log, const std::string& text) {
    int n = 0;
    for (const LogEntry& e : log)
        if (e.Text.find(text) != std::string::npos) ++n;
    return n;
}

// Every line is well formed and time never runs backwards.
void CheckLogShape(const std::vector<LogEntry>& log) {
    bool shape = !log.empty();
    unsigned long last = 0;
    for (const LogEntry& e : log) {
        if (e.Words.size() < 3) { shape = false; break; }
        char* end = nullptr;
        const unsigned long ms = std::strtoul(e.Words[0].c_str(), &end, 10);
        if (*end) shape = false;
        std::strtoul(e.Words[1].c_str(), &end, 10);
        if (*end) shape = false;
        if (ms < last) shape = false;
        last = ms;
        if (e.Words[2] == "FAULT") continue;
        if (e.Words.size() != 5 || e.Words[4].size() != 10 || e.Words[4].compare(0, 2, "0x") != 0)
            shape = false;
    }
    Check(shape, "log lines have the form <ms> <thread> <Method> <arg> <0xRESULT>, ms ascending");
}

HRESULT CreateFilter(IUnknown** filter) {
    *filter = nullptr;
    return CoCreateInstance(kTunerFilterClassId, nullptr, 1, kBaseFilterInterfaceId,
                            reinterpret_cast<void**>(filter));
}

ITunerControl* QueryControl(IUnknown* filter, HRESULT* hr) {
    void* control = nullptr;
    *hr = filter->QueryInterface(kTunerControlInterfaceId, &control);
    return static_cast<ITunerControl*>(control);
}

IZentrikSignalReadings* QueryReadings(IUnknown* filter, HRESULT* hr) {
    void* readings = nullptr;
    *hr = filter->QueryInterface(kSignalReadingsInterfaceId, &readings);
    return static_cast<IZentrikSignalReadings*>(readings);
}

// What the readings interface says now, with its result in *hr.
ZentrikSignalInfo ReadingsNow(IZentrikSignalReadings* readings, HRESULT* hr) {
    ZentrikSignalInfo info = {};
    info.cbSize = sizeof info;
    *hr = readings->GetSignalReadings(&info);
    return info;
}

// Calls through the method table by slot number, as a C caller would.
using IntSlot = HRESULT(STDMETHODCALLTYPE*)(void*, int32_t);
using VoidSlot = HRESULT(STDMETHODCALLTYPE*)(void*);
using LevelSlot = HRESULT(STDMETHODCALLTYPE*)(void*, int32_t*);
void* Slot(void* object, int index) { return (*static_cast<void***>(object))[index]; }

struct PollResult {
    ITunerControl* Control;
    HRESULT Lock = E_UNEXPECTED;
    int32_t Level = -1;
    HRESULT LevelResult = E_UNEXPECTED;
    DWORD Thread = 0;
};

// A polling thread as Zentrik runs it: no CoInitialize, no marshalling.
DWORD WINAPI PollThread(void* p) {
    PollResult* r = static_cast<PollResult*>(p);
    r->Thread = GetCurrentThreadId();
    r->Lock = r->Control->QueryLock();
    r->LevelResult = r->Control->ReadSignalLevel(&r->Level);
    return 0;
}

PollResult PollOnNewThread(ITunerControl* control) {
    PollResult r;
    r.Control = control;
    HANDLE t = CreateThread(nullptr, 0, PollThread, &r, 0, nullptr);
    WaitForSingleObject(t, 20000);
    CloseHandle(t);
    return r;
}

// ---- scenarios (each runs in its own process) ----

// Script: latency 30; no lock until 1000; lock 42 from 1000; 77 from 2000; lost at 3000.
void CaseBasic() {
    CoInitialize(nullptr);
    Check(UseTestClock(), "the DLL loads and takes the test's clock");
    IUnknown* filter = nullptr;
    CheckHr(CreateFilter(&filter), S_OK, "CoCreateInstance of the filter class, IBaseFilter, context 1");
    if (!filter) return;
    IUnknown* identity1 = nullptr;
    CheckHr(filter->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&identity1)), S_OK,
            "QueryInterface IUnknown");
    CLSID id = GUID_NULL;
    // IBaseFilter starts with IPersist::GetClassID in slot 3.
    Check(reinterpret_cast<HRESULT(STDMETHODCALLTYPE*)(void*, CLSID*)>(Slot(filter, 3))(filter, &id) == S_OK &&
              IsEqualGUID(id, kTunerFilterClassId),
          "IBaseFilter slot 3 (GetClassID) gives the filter class");
    HRESULT hr;
    ITunerControl* control = QueryControl(filter, &hr);
    CheckHr(hr, S_OK, "QueryInterface tuner control");
    if (!control) return;
    IUnknown* identity2 = nullptr;
    control->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&identity2));
    Check(identity1 && identity1 == identity2, "one COM identity for both interfaces");
    if (identity1) identity1->Release();
    if (identity2) identity2->Release();

    // The table layout: each slot number must reach the method Zentrik expects.
    const char* intSlots[] = {"SetTransponderFrequency", "SetSymbolRate", "SetLnbFrequency", "SetFec",
                              "SetPolarity", "SetLnbSelection", "SetDiseqc"};
    for (int slot = 3; slot <= 9; ++slot)
        CheckHr(reinterpret_cast<IntSlot>(Slot(control, slot))(control, 1000 + slot), S_OK, "raw call of slots 3..9");
    int32_t level = -7;
    reinterpret_cast<LevelSlot>(Slot(control, kReadSignalLevelSlot))(control, &level);
    Check(level == 0, "raw slot 36 writes level 0 before InitializeControl");
    const ULONGLONG start = g_clockMs.load();  // the timeline counts from here
    CheckHr(reinterpret_cast<VoidSlot>(Slot(control, 11))(control), S_OK, "raw slot 11 (InitializeControl)");
    Check(reinterpret_cast<VoidSlot>(Slot(control, 12))(control) < 0, "raw slot 12 (QueryLock): no lock at start");
    {
        const std::vector<LogEntry> log = ReadLog();
        for (int slot = 3; slot <= 9; ++slot) {
            char what[128];
            std::snprintf(what, sizeof what, "slot %d reaches %s", slot, intSlots[slot - 3]);
            Check(CountCalls(log, intSlots[slot - 3], std::to_string(1000 + slot), "0x00000000") == 1, what);
        }
        Check(CountCalls(log, "ReadSignalLevel", "0", "0x00000000") == 1, "slot 36 reaches ReadSignalLevel");
        Check(CountCalls(log, "InitializeControl", "-", "0x00000000") == 1, "slot 11 reaches InitializeControl");
        Check(CountCalls(log, "QueryLock", "-", "0x80004005") == 1, "slot 12 reaches QueryLock");
    }

    // Every method through the declared interface, in Zentrik's order.
    CheckHr(control->InitializeControl(), S_OK, "InitializeControl");
    CheckHr(control->SetFec(6), S_OK, "SetFec 6");
    CheckHr(control->SetLnbSelection(1), S_OK, "SetLnbSelection 1");
    CheckHr(control->SetLnbFrequency(10600), S_OK, "SetLnbFrequency 10600");
    CheckHr(control->SetPolarity(0), S_OK, "SetPolarity 0");
    CheckHr(control->SetSymbolRate(27500), S_OK, "SetSymbolRate 27500");
    CheckHr(control->SetTransponderFrequency(12245), S_OK, "SetTransponderFrequency 12245");
    CheckHr(control->SetDiseqc(0), S_OK, "SetDiseqc 0");
    CheckHr(control->Unused10(), E_NOTIMPL, "unused slot 10 answers E_NOTIMPL");
    CheckHr(control->Unused35(), E_NOTIMPL, "unused slot 35 answers E_NOTIMPL");

    TakePauses();
    const HRESULT early = control->QueryLock();
    const std::vector<DWORD> queryPauses = TakePauses();
    Check(early < 0, "no lock before 1000 ms of the script");
    Check(queryPauses.size() == 1 && queryPauses[0] == 30, "QueryLock pauses the scripted 30 ms latency");
    level = -1;
    control->ReadSignalLevel(&level);
    Check(level == 0, "level 0 without lock");
    Check(AllPausesAre(TakePauses(), 30), "and so does ReadSignalLevel");

    g_clockMs = start + 1300;
    const PollResult first = PollOnNewThread(control);
    Check(first.Lock >= 0, "lock at 1300 ms, asked from a thread without CoInitialize");
    Check(first.Level == 42 && first.LevelResult == S_OK, "level 42 at 1300 ms from that thread");
    g_clockMs = start + 2300;
    level = -1;
    Check(control->QueryLock() >= 0, "lock at 2300 ms");
    control->ReadSignalLevel(&level);
    Check(level == 77, "level 77 at 2300 ms");
    g_clockMs = start + 3300;
    level = -1;
    Check(control->QueryLock() < 0, "lock lost at 3300 ms");
    control->ReadSignalLevel(&level);
    Check(level == 50, "the scripted level is read even once the lock is lost");

    std::vector<LogEntry> log = ReadLog();
    Check(CountContaining(log, "FAULT overlap") == 0, "no overlap reported for calls in sequence");
    Check(CountContaining(log, "FAULT unused Unused10") == 1 && CountContaining(log, "FAULT unused Unused35") == 1,
          "calls of unused slots are reported");
    Check(CountCalls(log, "ReadSignalLevel", "42", "0x00000000", first.Thread) == 1,
          "log names the polling thread and the level it read");
    Check(CountCalls(log, "SetFec", "6", "0x00000000") == 1 && CountCalls(log, "SetSymbolRate", "27500", "") == 1,
          "log records the Set arguments");

    // Two threads at once: the simulator must notice. The first call's pause
    // lasts until the second call is inside the tuner too.
    PollResult a, b;
    a.Control = b.Control = control;
    TakePauses();
    g_holdForSecondCall = true;
    HANDLE threads[2] = {CreateThread(nullptr, 0, PollThread, &a, 0, nullptr),
                         CreateThread(nullptr, 0, PollThread, &b, 0, nullptr)};
    WaitForMultipleObjects(2, threads, TRUE, 20000);
    g_holdForSecondCall = false;
    CloseHandle(threads[0]);
    CloseHandle(threads[1]);
    log = ReadLog();
    Check(CountContaining(log, "FAULT overlap") >= 1, "overlapping calls from two threads are reported");

    Check(control->Release() == 1, "Release of the control leaves the filter's reference");
    Check(filter->Release() == 0, "last Release frees the object");
    log = ReadLog();
    Check(CountCalls(log, "Release", "ITunerControl", "0x00000001") == 1, "release of the control logged");
    Check(CountCalls(log, "Release", "IBaseFilter", "0x00000000") == 1, "final release logged");
    CheckLogShape(log);
    CoUninitialize();
}

// Script: failures on some methods; no latency line, so the default applies.
void CaseFailures() {
    CoInitialize(nullptr);
    Check(UseTestClock(), "the DLL loads and takes the test's clock");
    IUnknown* filter = nullptr;
    CheckHr(CreateFilter(&filter), S_OK, "creation not affected by method failures");
    if (!filter) return;
    HRESULT hr;
    ITunerControl* control = QueryControl(filter, &hr);
    CheckHr(hr, S_OK, "QueryInterface not affected");
    if (!control) return;
    CheckHr(control->InitializeControl(), static_cast<HRESULT>(0x8000FFFF), "scripted InitializeControl failure");
    CheckHr(control->SetFec(6), S_OK, "SetFec unaffected");
    CheckHr(control->SetPolarity(1), E_FAIL, "scripted SetPolarity failure 0x80004005");
    CheckHr(control->SetSymbolRate(22000), S_OK, "SetSymbolRate unaffected");
    CheckHr(control->SetDiseqc(3), static_cast<HRESULT>(1), "scripted success code 1 of SetDiseqc returned as is");
    TakePauses();
    Check(control->QueryLock() < 0, "no lock while the control never initialised");
    const std::vector<DWORD> pauses = TakePauses();
    Check(pauses.size() == 1 && pauses[0] == 20, "the default latency: a 20 ms pause");
    int32_t level = -1;
    CheckHr(control->ReadSignalLevel(&level), static_cast<HRESULT>(0x80070005), "scripted ReadSignalLevel failure");
    Check(level == 0, "level still written on a scripted failure");
    const std::vector<LogEntry> log = ReadLog();
    Check(CountCalls(log, "SetPolarity", "1", "0x80004005") == 1, "log shows SetPolarity 1 0x80004005");
    Check(CountCalls(log, "SetDiseqc", "3", "0x00000001") == 1, "log shows SetDiseqc 3 0x00000001");
    Check(CountCalls(log, "InitializeControl", "-", "0x8000FFFF") == 1, "log shows InitializeControl failure");
    CheckLogShape(log);
    control->Release();
    filter->Release();
    CoUninitialize();
}

void CaseCreateFails() {
    CoInitialize(nullptr);
    IUnknown* filter = nullptr;
    CheckHr(CreateFilter(&filter), E_FAIL, "scripted creation failure reaches CoCreateInstance's caller");
    Check(filter == nullptr, "no object on a failed creation");
    if (filter) filter->Release();
    Check(CountCalls(ReadLog(), "Create", "IBaseFilter", "0x80004005") == 1, "log shows the failed Create");
    CoUninitialize();
}

void CaseCreatePositive() {
    CoInitialize(nullptr);
    // The factory itself must hand back the scripted code unchanged.
    HMODULE dll = LoadLibraryW(kScriptedTuner);
    using GetClassObject = HRESULT(STDAPICALLTYPE*)(REFCLSID, REFIID, void**);
    GetClassObject get = dll ? reinterpret_cast<GetClassObject>(reinterpret_cast<void*>(GetProcAddress(dll, "DllGetClassObject"))) : nullptr;
    IClassFactory* factory = nullptr;
    Check(get && get(kTunerFilterClassId, IID_IClassFactory, reinterpret_cast<void**>(&factory)) == S_OK && factory,
          "DllGetClassObject gives the class factory");
    if (factory) {
        IUnknown* direct = nullptr;
        CheckHr(factory->CreateInstance(nullptr, kBaseFilterInterfaceId, reinterpret_cast<void**>(&direct)),
                static_cast<HRESULT>(1), "CreateInstance returns the scripted success code 1 as is");
        Check(direct != nullptr, "with a valid object");
        if (direct) direct->Release();
        factory->Release();
    }
    // Through COM (which may fold the code to S_OK) the object is still there.
    IUnknown* filter = nullptr;
    const HRESULT created = CreateFilter(&filter);
    Check(created >= 0, "CoCreateInstance succeeds with the scripted success code");
    Check(filter != nullptr, "a valid object comes with the success code");
    if (filter) {
        HRESULT hr;
        ITunerControl* control = QueryControl(filter, &hr);
        CheckHr(hr, S_OK, "that object answers the tuner control");
        if (control) {
            CheckHr(control->SetFec(6), S_OK, "and works");
            control->Release();
        }
        filter->Release();
    }
    Check(CountCalls(ReadLog(), "Create", "IBaseFilter", "0x00000001") == 2, "log shows Create 0x00000001 twice");
    CoUninitialize();
}

void CaseQueryFails() {
    CoInitialize(nullptr);
    IUnknown* filter = nullptr;
    CheckHr(CreateFilter(&filter), S_OK, "creation succeeds");
    if (!filter) return;
    HRESULT hr;
    ITunerControl* control = QueryControl(filter, &hr);
    CheckHr(hr, E_NOINTERFACE, "scripted QueryInterface failure for the tuner control");
    Check(control == nullptr, "no pointer on the failed query");
    void* unknown = nullptr;
    CheckHr(filter->QueryInterface(IID_IUnknown, &unknown), S_OK, "other queries unaffected");
    if (unknown) static_cast<IUnknown*>(unknown)->Release();
    Check(CountCalls(ReadLog(), "QueryInterface", "ITunerControl", "0x80004002") == 1, "log shows the failed query");
    filter->Release();
    CoUninitialize();
}

// Script: strength 80 and quality 40 from 0, the quality alone from 1000,
// neither from 2000.
void CaseReadings() {
    CoInitialize(nullptr);
    Check(UseTestClock(), "the DLL loads and takes the test's clock");
    IUnknown* filter = nullptr;
    CheckHr(CreateFilter(&filter), S_OK, "creation");
    if (!filter) return;
    HRESULT hr;
    ITunerControl* control = QueryControl(filter, &hr);
    IZentrikSignalReadings* readings = QueryReadings(filter, &hr);
    CheckHr(hr, S_OK, "QueryInterface of the readings interface");
    if (!control || !readings) return;
    const ULONGLONG start = g_clockMs.load();
    control->InitializeControl();
    TakePauses();
    ZentrikSignalInfo info = ReadingsNow(readings, &hr);
    CheckHr(hr, S_OK, "strength and quality scripted: S_OK");
    Check(info.cbSize == sizeof info && info.StrengthPercent == 80 && info.QualityPercent == 40 &&
              info.StrengthRaw == 80 && info.QualityRaw == 40 && info.StrengthUnit == kSignalPercent &&
              info.QualityUnit == kSignalPercent, "strength 80 and quality 40, raw in percent");
    g_clockMs = start + 1000;
    info = ReadingsNow(readings, &hr);
    CheckHr(hr, S_OK, "the quality alone: S_OK");
    Check(info.StrengthPercent == kSignalPercentUnknown && info.StrengthUnit == kSignalNoValue &&
              info.QualityPercent == 45, "no strength, quality 45");
    g_clockMs = start + 2000;
    info = ReadingsNow(readings, &hr);
    CheckHr(hr, S_FALSE, "neither: S_FALSE");
    Check(info.StrengthPercent == kSignalPercentUnknown && info.QualityPercent == kSignalPercentUnknown,
          "both unknown");
    Check(TakePauses().empty(), "it answers at once, without a pause");
    CheckHr(readings->GetSignalReadings(nullptr), E_POINTER, "a null record");
    info.cbSize = sizeof info - 4;
    CheckHr(readings->GetSignalReadings(&info), E_INVALIDARG, "a record smaller than the interface's");
    readings->Release();
    control->Release();
    filter->Release();
    Check(CountCalls(ReadLog(), "Release", "ISignalReadings", "") == 1, "its release logged by its interface");
    CoUninitialize();
}

// "fail SignalReadings": a tuner without the readings interface.
void CaseReadingsRefused() {
    CoInitialize(nullptr);
    IUnknown* filter = nullptr;
    CheckHr(CreateFilter(&filter), S_OK, "creation");
    if (!filter) return;
    HRESULT hr;
    IZentrikSignalReadings* readings = QueryReadings(filter, &hr);
    CheckHr(hr, E_NOINTERFACE, "the query for the readings interface refused as scripted");
    Check(readings == nullptr, "no pointer on the refused query");
    ITunerControl* control = QueryControl(filter, &hr);
    CheckHr(hr, S_OK, "the tuner control unaffected");
    if (control) control->Release();
    Check(CountCalls(ReadLog(), "QueryInterface", "ISignalReadings", "0x80004002") == 1, "log shows the refusal");
    filter->Release();
    CoUninitialize();
}

// The centre in time (ms) of the samples at or above 60% of their highest:
// where a peak is, through the demo's noise.
double PeakCentre(const std::vector<std::pair<ULONGLONG, int32_t>>& samples) {
    int32_t highest = 0;
    for (const auto& sample : samples) highest = sample.second > highest ? sample.second : highest;
    double sum = 0, weight = 0;
    for (const auto& sample : samples) {
        if (sample.second * 10 < highest * 6) continue;
        sum += static_cast<double>(sample.first) * sample.second;
        weight += sample.second;
    }
    return weight > 0 ? sum / weight : 0;
}

// The demo's strength and quality through one sweep: the quality peaks a
// little after the strength, about a second, so a demo shows the point of
// peaking on it; the interface answers without a pause.
void CheckDemoReadings(IUnknown* filter, ULONGLONG start) {
    HRESULT hr;
    IZentrikSignalReadings* readings = QueryReadings(filter, &hr);
    CheckHr(hr, S_OK, "the demo offers the readings interface");
    if (!readings) return;
    std::vector<std::pair<ULONGLONG, int32_t>> strength, quality;
    bool inRange = true;
    for (ULONGLONG at = start + 4100; at < start + 20000; at += 50) {
        g_clockMs = at;
        const ZentrikSignalInfo info = ReadingsNow(readings, &hr);
        inRange = inRange && hr == S_OK && info.StrengthPercent >= 3 && info.StrengthPercent <= 100 &&
                  info.QualityPercent >= 0 && info.QualityPercent <= 100;
        strength.emplace_back(at - start, info.StrengthPercent);
        quality.emplace_back(at - start, info.QualityPercent);
    }
    Check(inRange, "strength and quality in percent throughout the lock");
    const double apart = PeakCentre(quality) - PeakCentre(strength);
    std::printf("  strength peaks at %.0f ms, quality at %.0f ms of the sweep\n", PeakCentre(strength),
                PeakCentre(quality));
    Check(apart > 500 && apart < 1500, "the quality peaks 0.5 to 1.5 s after the strength");
    Check(TakePauses().empty(), "no pause in the readings");
    readings->Release();
}

// The dish sweep, from InitializeControl and a tune on; every poll pauses
// `pause` milliseconds. The sweep's start on the clock.
ULONGLONG CheckSweep(IUnknown* filter, DWORD pause, const char* pauseText) {
    HRESULT hr;
    ITunerControl* control = QueryControl(filter, &hr);
    CheckHr(hr, S_OK, "QueryInterface tuner control");
    if (!control) return 0;
    const ULONGLONG start = g_clockMs.load();  // the sweep counts from here
    CheckHr(control->InitializeControl(), S_OK, "InitializeControl");
    Check(control->QueryLock() < 0, "no lock before a transponder is tuned");
    control->SetFec(6);
    control->SetLnbSelection(1);
    control->SetLnbFrequency(10600);
    control->SetPolarity(0);
    control->SetSymbolRate(27500);
    control->SetTransponderFrequency(12245);
    control->SetDiseqc(0);
    TakePauses();
    bool earlyLock = false, locked = false, inRange = true;
    ULONGLONG lockAt = 0;
    std::vector<int32_t> levels;
    // A poll every 50 ms of the sweep's time, for seven seconds of it.
    for (ULONGLONG at = g_clockMs.load(); at - start < 7000; at += 50) {
        g_clockMs = at;
        const bool lock = control->QueryLock() >= 0;
        const ULONGLONG seen = g_clockMs.load() - start;
        if (lock) {
            int32_t level = -1;
            control->ReadSignalLevel(&level);
            if (level < 1 || level > 100) inRange = false;
            if (!locked) lockAt = seen;
            locked = true;
            levels.push_back(level);
        } else if (locked) {
            inRange = false;  // the lock must hold once found, this early in the sweep
        }
        if (lock && seen < 4000) earlyLock = true;
    }
    Check(!earlyLock, "no lock during the first four seconds of the sweep");
    Check(locked && lockAt < 4100, "lock found four seconds into the sweep");
    Check(inRange, "levels within 1..100 while locked, lock held");
    Check(levels.size() > 10 && levels.back() > levels.front() + 8, "level rises as the dish turns towards the peak");
    Check(AllPausesAre(TakePauses(), pause), pauseText);
    control->Release();
    return start;
}

// No script, ZENTRIK_SIM_LATENCY=1: the default dish sweep.
void CaseDemo() {
    CoInitialize(nullptr);
    Check(UseTestClock(), "the DLL loads and takes the test's clock");
    IUnknown* filter = nullptr;
    CheckHr(CreateFilter(&filter), S_OK, "creation");
    if (!filter) return;
    CheckDemoReadings(filter, CheckSweep(filter, 1, "ZENTRIK_SIM_LATENCY=1 overrides the 20 ms default: 1 ms pauses"));
    filter->Release();
    CoUninitialize();
}

// The demo that ships, with a script that would fail its creation and lock it
// at once, a latency of 1 ms and a log: it plays its sweep as always.
void CaseShippedDemo() {
    CoInitialize(nullptr);
    const std::wstring path = DemoTunerPath();
    Check(UseTestClock(path.c_str()), "the demo DLL loads and takes the test's clock");
    HMODULE dll = LoadLibraryW(path.c_str());
    using GetClassObject = HRESULT(STDAPICALLTYPE*)(REFCLSID, REFIID, void**);
    GetClassObject get = dll ? reinterpret_cast<GetClassObject>(reinterpret_cast<void*>(GetProcAddress(dll, "DllGetClassObject"))) : nullptr;
    IClassFactory* factory = nullptr;
    Check(get && get(kTunerFilterClassId, IID_IClassFactory, reinterpret_cast<void**>(&factory)) == S_OK && factory,
          "DllGetClassObject gives the class factory");
    if (!factory) return;
    IUnknown* filter = nullptr;
    CheckHr(factory->CreateInstance(nullptr, kBaseFilterInterfaceId, reinterpret_cast<void**>(&filter)), S_OK,
            "the script's creation failure does not reach the demo");
    factory->Release();
    if (!filter) return;
    CheckDemoReadings(filter, CheckSweep(filter, 20, "neither the script's latency nor ZENTRIK_SIM_LATENCY: 20 ms pauses"));
    Check(filter->Release() == 0, "last Release frees the object");
    Check(GetFileAttributesA(Env("ZENTRIK_SIM_LOG").c_str()) == INVALID_FILE_ATTRIBUTES, "the demo writes no log");
    CoUninitialize();
}

// ---- parent: registration and the scenario processes ----

std::wstring Folder(const std::wstring& path) { return path.substr(0, path.find_last_of(L"\\/") + 1); }

std::wstring ReadString(HKEY root, const wchar_t* key, const wchar_t* name) {
    wchar_t value[MAX_PATH * 2] = {};
    DWORD size = sizeof value - sizeof(wchar_t);
    DWORD type = 0;
    HKEY k;
    if (RegOpenKeyExW(root, key, 0, KEY_READ, &k) != ERROR_SUCCESS) return L"<missing>";
    const LONG status = RegQueryValueExW(k, name, nullptr, &type, reinterpret_cast<BYTE*>(value), &size);
    RegCloseKey(k);
    if (status != ERROR_SUCCESS || type != REG_SZ) return L"<missing>";
    return value;
}

void CheckRegistration(const std::wstring& dllPath) {
    std::printf("registration\n");
    HMODULE dll = LoadLibraryW(dllPath.c_str());
    Check(dll != nullptr, "ZentrikScriptedTuner.dll loads");
    if (!dll) return;
    using Entry = HRESULT(STDAPICALLTYPE*)();
    Entry reg = reinterpret_cast<Entry>(reinterpret_cast<void*>(GetProcAddress(dll, "DllRegisterServer")));
    Entry unreg = reinterpret_cast<Entry>(reinterpret_cast<void*>(GetProcAddress(dll, "DllUnregisterServer")));
    Check(reg && unreg && GetProcAddress(dll, "DllGetClassObject") && GetProcAddress(dll, "DllCanUnloadNow"),
          "the four COM server entries are exported");
    if (!reg || !unreg) return;
    const wchar_t* server = L"Software\\Classes\\CLSID\\{E82536A0-94DA-11D2-A463-00A0C95D308D}\\InprocServer32";
    CheckHr(unreg(), S_OK, "DllUnregisterServer");
    Check(ReadString(HKEY_CURRENT_USER, server, nullptr) == L"<missing>", "unregistered: no InprocServer32 key");
    CheckHr(reg(), S_OK, "DllRegisterServer");
    Check(MirrorTunerClass(), "the registration mirrored for Wine");
    wchar_t loaded[MAX_PATH];
    GetModuleFileNameW(dll, loaded, MAX_PATH);
    Check(lstrcmpiW(ReadString(HKEY_CURRENT_USER, server, nullptr).c_str(), loaded) == 0,
          "HKCU ...\\InprocServer32 default value is the DLL's full path");
    Check(ReadString(HKEY_CURRENT_USER, server, L"ThreadingModel") == L"Both", "ThreadingModel is Both");
    FreeLibrary(dll);
}

bool RunCase(const std::wstring& exe, const std::wstring& folder, const char* name, const char* script,
             const char* latency) {
    std::printf("%s\n", name);
    std::fflush(stdout);
    const std::wstring wname(name, name + std::strlen(name));
    const std::wstring logPath = folder + L"simtest_" + wname + L".log";
    const std::wstring scriptPath = folder + L"simtest_" + wname + L".txt";
    DeleteFileW(logPath.c_str());
    if (script) {
        FILE* f = _wfopen(scriptPath.c_str(), L"wb");
        if (!f) { Check(false, "write the script file"); return false; }
        std::fputs(script, f);
        std::fclose(f);
        SetEnvironmentVariableW(L"ZENTRIK_SIM_SCRIPT", scriptPath.c_str());
    } else {
        SetEnvironmentVariableW(L"ZENTRIK_SIM_SCRIPT", nullptr);
    }
    SetEnvironmentVariableW(L"ZENTRIK_SIM_LOG", logPath.c_str());
    SetEnvironmentVariableA("ZENTRIK_SIM_LATENCY", latency);
    std::wstring command = L"\"" + exe + L"\" --case " + wname;
    STARTUPINFOW si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi = {};
    if (!CreateProcessW(exe.c_str(), &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) {
        Check(false, "start the scenario process");
        return false;
    }
    DWORD code = 99;
    if (WaitForSingleObject(pi.hProcess, 60000) != WAIT_OBJECT_0) {
        TerminateProcess(pi.hProcess, 98);
        WaitForSingleObject(pi.hProcess, 5000);
    }
    GetExitCodeProcess(pi.hProcess, &code);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    Check(code == 0, "scenario passed");
    return code == 0;
}

}  // namespace

int main(int argc, char** argv) {
    setvbuf(stdout, nullptr, _IONBF, 0);
    if (argc == 3 && std::strcmp(argv[1], "--case") == 0) {
        const std::string name = argv[2];
        if (name == "basic") CaseBasic();
        else if (name == "failures") CaseFailures();
        else if (name == "create_fails") CaseCreateFails();
        else if (name == "create_positive") CaseCreatePositive();
        else if (name == "query_fails") CaseQueryFails();
        else if (name == "readings") CaseReadings();
        else if (name == "readings_refused") CaseReadingsRefused();
        else if (name == "demo") CaseDemo();
        else if (name == "shipped_demo") CaseShippedDemo();
        else return 2;
        return g_failures ? 1 : 0;
    }
    wchar_t exe[MAX_PATH];
    GetModuleFileNameW(nullptr, exe, MAX_PATH);
    const std::wstring folder = Folder(exe);
    CheckRegistration(folder + kScriptedTuner);
    RunCase(exe, folder, "basic",
            "# signal timeline for the self-test\n"
            "latency 30\n"
            "at 0 lock 0 level 0\n"
            "at 2000 lock 1 level 77\n"
            "at 1000 lock 1 level 42\n"
            "at 3000 lock 0 level 50\n",
            nullptr);
    RunCase(exe, folder, "failures",
            "fail SetPolarity 0x80004005\n"
            "fail InitializeControl 0x8000FFFF\n"
            "fail SetDiseqc 0x1\n"
            "fail ReadSignalLevel 0x80070005\n",
            nullptr);
    RunCase(exe, folder, "create_fails", "fail Create 0x80004005\n", nullptr);
    RunCase(exe, folder, "create_positive", "fail Create 0x1\n", nullptr);
    RunCase(exe, folder, "query_fails", "fail QueryInterface 0x80004002\n", nullptr);
    RunCase(exe, folder, "readings",
            "latency 0\nat 0 lock 1 level 50 strength 80 quality 40\nat 1000 lock 1 level 50 quality 45\n"
            "at 2000 lock 0 level 0\n",
            nullptr);
    RunCase(exe, folder, "readings_refused", "at 0 lock 1 level 50 strength 80\nfail SignalReadings 0x80004002\n",
            nullptr);
    RunCase(exe, folder, "demo", nullptr, "1");
    RunCase(exe, folder, "shipped_demo",
            "fail Create 0x80004005\n"
            "fail InitializeControl 0x8000FFFF\n"
            "at 0 lock 1 level 99\n"
            "latency 1\n",
            "1");
    std::printf("%s: %d failed check(s)\n", g_failures ? "FAILED" : "PASSED", g_failures);
    return g_failures ? 1 : 0;
}
