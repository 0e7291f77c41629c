// Self-test of the BDA doubles under Wine's own filter graph and device
// enumerator: it builds a DVB-S graph the documented way, tunes, polls the
// signal from a thread without COM, tears the graph down, and checks the
// doubles' log. Each case runs in a child process of its own, because the
// doubles read their script once per process.
//
// usage: bda_selftest            run every case
//        bda_selftest CASE       (child) one case, with the environment set
#include <windows.h>
#include <dshow.h>
#include <bdaiface.h>
#include <tuner.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "bda_filters.h"

namespace {

int g_failures = 0;

// One result line; the detail (what a child said) only when it failed.
void Check(bool ok, const std::string& what, const std::string& detail = "") {
    std::printf("%s %s\n", ok ? "ok  " : "FAIL", what.c_str());
    if (!ok && !detail.empty()) std::printf("     %s\n", detail.c_str());
    if (!ok) ++g_failures;
}

template <typename I>
void Drop(I*& p) {
    if (p) p->Release();
    p = nullptr;
}

template <typename I>
HRESULT Make(const CLSID& clsid, I** out) {
    return CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, __uuidof(I), reinterpret_cast<void**>(out));
}

IPin* PinOf(IBaseFilter* filter, PIN_DIRECTION wanted) {
    IEnumPins* pins = nullptr;
    IPin* found = nullptr;
    if (FAILED(filter->EnumPins(&pins))) return nullptr;
    for (IPin* pin = nullptr; !found && pins->Next(1, &pin, nullptr) == S_OK;) {
        PIN_DIRECTION direction;
        if (SUCCEEDED(pin->QueryDirection(&direction)) && direction == wanted) found = pin;
        else pin->Release();
    }
    pins->Release();
    return found;
}

HRESULT ConnectFilters(IGraphBuilder* graph, IBaseFilter* from, IBaseFilter* to) {
    IPin* out = PinOf(from, PINDIR_OUTPUT);
    IPin* in = PinOf(to, PINDIR_INPUT);
    const HRESULT hr = (out && in) ? graph->Connect(out, in) : E_FAIL;
    Drop(out);
    Drop(in);
    return hr;
}

// The first tuner in KSCATEGORY_BDA_NETWORK_TUNER, its friendly name, and the
// result of binding it (S_FALSE: the category is empty).
HRESULT FindTuner(IBaseFilter** tuner, std::wstring* name) {
    ICreateDevEnum* devices = nullptr;
    IEnumMoniker* monikers = nullptr;
    IMoniker* moniker = nullptr;
    HRESULT hr = Make(CLSID_SystemDeviceEnum, &devices);
    if (SUCCEEDED(hr)) hr = devices->CreateClassEnumerator(kCategoryBdaNetworkTuner, &monikers, 0);
    if (hr == S_OK) hr = monikers->Next(1, &moniker, nullptr);
    if (hr == S_OK) {
        IPropertyBag* bag = nullptr;
        if (SUCCEEDED(moniker->BindToStorage(nullptr, nullptr, IID_IPropertyBag, reinterpret_cast<void**>(&bag)))) {
            VARIANT value;
            VariantInit(&value);
            if (SUCCEEDED(bag->Read(L"FriendlyName", &value, nullptr)) && value.vt == VT_BSTR) *name = value.bstrVal;
            VariantClear(&value);
            bag->Release();
        }
        hr = moniker->BindToObject(nullptr, nullptr, IID_IBaseFilter, reinterpret_cast<void**>(tuner));
    }
    Drop(moniker);
    Drop(monikers);
    Drop(devices);
    return hr;
}

struct Graph {
    IGraphBuilder* Builder = nullptr;
    IBaseFilter* Provider = nullptr;
    IBaseFilter* Tuner = nullptr;
    IBaseFilter* Demux = nullptr;
    IDVBSTuningSpace* Space = nullptr;
    IDVBSLocator2* Locator = nullptr;
    ITuneRequest* Request = nullptr;
};

void Release(Graph& g) {
    Drop(g.Request);
    Drop(g.Locator);
    Drop(g.Space);
    Drop(g.Demux);
    Drop(g.Tuner);
    Drop(g.Provider);
    Drop(g.Builder);
}

// HotBird's 10723 MHz horizontal at 29900 ksym/s behind DiSEqC position B.
HRESULT DescribeHotBird(Graph& g) {
    HRESULT hr = Make(CLSID_DVBSTuningSpace, &g.Space);
    if (SUCCEEDED(hr)) hr = g.Space->put__NetworkType(CLSID_DVBSNetworkProvider);
    if (SUCCEEDED(hr)) hr = g.Space->put_SystemType(DVB_Satellite);
    if (SUCCEEDED(hr)) hr = g.Space->put_LowOscillator(9750000);
    if (SUCCEEDED(hr)) hr = g.Space->put_HighOscillator(10600000);
    if (SUCCEEDED(hr)) hr = g.Space->put_LNBSwitch(11700000);
    if (SUCCEEDED(hr)) hr = Make(CLSID_DVBSLocator, &g.Locator);
    if (SUCCEEDED(hr)) hr = g.Locator->put_CarrierFrequency(10723000);
    if (SUCCEEDED(hr)) hr = g.Locator->put_SymbolRate(29900);
    if (SUCCEEDED(hr)) hr = g.Locator->put_SignalPolarisation(BDA_POLARISATION_LINEAR_H);
    if (SUCCEEDED(hr)) hr = g.Locator->put_DiseqLNBSource(BDA_LNB_SOURCE_B);
    if (SUCCEEDED(hr)) hr = g.Space->CreateTuneRequest(&g.Request);
    if (SUCCEEDED(hr)) hr = g.Request->put_Locator(g.Locator);
    return hr;
}

HRESULT BuildGraph(Graph& g, std::wstring* tunerName) {
    HRESULT hr = Make(CLSID_FilterGraph, &g.Builder);
    if (SUCCEEDED(hr)) hr = Make(CLSID_DVBSNetworkProvider, &g.Provider);
    if (SUCCEEDED(hr)) hr = g.Builder->AddFilter(g.Provider, L"Network Provider");
    if (SUCCEEDED(hr)) hr = FindTuner(&g.Tuner, tunerName);
    if (hr == S_OK) hr = g.Builder->AddFilter(g.Tuner, L"Tuner");
    if (hr == S_OK) hr = ConnectFilters(g.Builder, g.Provider, g.Tuner);
    if (hr == S_OK) hr = Make(CLSID_MPEG2Demultiplexer, &g.Demux);
    if (hr == S_OK) hr = g.Builder->AddFilter(g.Demux, L"Demux");
    if (hr == S_OK) hr = ConnectFilters(g.Builder, g.Tuner, g.Demux);
    return hr;
}

struct Poll {
    IBDA_SignalStatistics* Statistics;
    DWORD Thread = 0;
    std::vector<std::pair<DWORD, BOOLEAN>> Locks;  // (ms since start, locked)
    LONG LastStrength = 0;
};

// The file that lets the scripted lock come (an "on" line of the script).
std::wstring LockGate() {
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    return std::wstring(temp) + L"bda-selftest.lock";
}

// Polls as Zentrik's measuring thread does: another thread, no COM. The lock
// comes once this thread has seen the search, and the polling goes on until
// it has held for a few readings (or, only on a fault, for a long time).
DWORD WINAPI PollSignal(void* argument) {
    Poll* poll = static_cast<Poll*>(argument);
    poll->Thread = GetCurrentThreadId();
    const DWORD start = GetTickCount();
    int lockedReadings = 0;
    while (lockedReadings < 5 && GetTickCount() - start < 20000) {
        BOOLEAN locked = FALSE;
        poll->Statistics->get_SignalLocked(&locked);
        poll->Statistics->get_SignalStrength(&poll->LastStrength);
        poll->Locks.push_back({GetTickCount() - start, locked});
        if (!locked) CloseHandle(CreateFileW(LockGate().c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
        lockedReadings += locked ? 1 : 0;
        Sleep(40);
    }
    return 0;
}

int ChildGraph() {
    Graph g;
    std::wstring tunerName;
    HRESULT hr = BuildGraph(g, &tunerName);
    std::printf("build 0x%08lX name %ls\n", static_cast<unsigned long>(hr), tunerName.c_str());
    if (hr == S_OK) hr = DescribeHotBird(g);
    ITuner* tuner = nullptr;
    IMediaControl* control = nullptr;
    IBDA_Topology* topology = nullptr;
    IUnknown* node = nullptr;
    Poll poll{};
    if (hr == S_OK) hr = g.Provider->QueryInterface(IID_ITuner, reinterpret_cast<void**>(&tuner));
    if (hr == S_OK) hr = tuner->put_TuningSpace(g.Space);
    if (hr == S_OK) hr = g.Builder->QueryInterface(IID_IMediaControl, reinterpret_cast<void**>(&control));
    if (hr == S_OK) hr = control->Run();
    std::printf("run 0x%08lX\n", static_cast<unsigned long>(hr));
    if (SUCCEEDED(hr)) hr = tuner->put_TuneRequest(g.Request);
    if (hr == S_OK) hr = g.Tuner->QueryInterface(IID_IBDA_Topology, reinterpret_cast<void**>(&topology));
    if (hr == S_OK) hr = topology->GetControlNode(0, 1, 0, &node);
    if (hr == S_OK) hr = node->QueryInterface(IID_IBDA_SignalStatistics, reinterpret_cast<void**>(&poll.Statistics));
    if (hr == S_OK) {
        HANDLE thread = CreateThread(nullptr, 0, PollSignal, &poll, 0, nullptr);
        WaitForSingleObject(thread, INFINITE);
        CloseHandle(thread);
        for (const auto& p : poll.Locks) std::printf("poll %lu %d\n", p.first, p.second ? 1 : 0);
        std::printf("strength %ld thread %lu main %lu\n", poll.LastStrength, poll.Thread, GetCurrentThreadId());
    }
    if (control) std::printf("stop 0x%08lX\n", static_cast<unsigned long>(control->Stop()));
    Drop(poll.Statistics);
    Drop(node);
    Drop(topology);
    Drop(control);
    Drop(tuner);
    Release(g);
    std::printf("result 0x%08lX\n", static_cast<unsigned long>(hr));
    return 0;
}

int ChildFind() {
    IBaseFilter* tuner = nullptr;
    std::wstring name;
    const HRESULT hr = FindTuner(&tuner, &name);
    std::printf("find 0x%08lX name %ls\n", static_cast<unsigned long>(hr), name.c_str());
    Drop(tuner);
    return 0;
}

std::wstring BagText(IPropertyBag* bag, const wchar_t* name) {
    VARIANT value;
    VariantInit(&value);
    std::wstring text;
    if (SUCCEEDED(bag->Read(name, &value, nullptr)) && value.vt == VT_BSTR) text = value.bstrVal;
    VariantClear(&value);
    return text;
}

// Every device of the category: "device NAME|PATH bind 0x..." a line.
void ListCategory(const GUID& category) {
    ICreateDevEnum* devices = nullptr;
    IEnumMoniker* monikers = nullptr;
    if (FAILED(Make(CLSID_SystemDeviceEnum, &devices)) ||
        devices->CreateClassEnumerator(category, &monikers, 0) != S_OK) {
        Drop(devices);
        return;
    }
    for (IMoniker* moniker = nullptr; monikers->Next(1, &moniker, nullptr) == S_OK; Drop(moniker)) {
        IPropertyBag* bag = nullptr;
        std::wstring name, path;
        if (SUCCEEDED(moniker->BindToStorage(nullptr, nullptr, IID_IPropertyBag, reinterpret_cast<void**>(&bag)))) {
            name = BagText(bag, L"FriendlyName");
            path = BagText(bag, L"DevicePath");
        }
        Drop(bag);
        IBaseFilter* filter = nullptr;
        const HRESULT hr = moniker->BindToObject(nullptr, nullptr, IID_IBaseFilter, reinterpret_cast<void**>(&filter));
        Drop(filter);
        std::printf("device %ls|%ls bind 0x%08lX\n", name.c_str(), path.c_str(), static_cast<unsigned long>(hr));
    }
    Drop(monikers);
    Drop(devices);
}

int ChildDevices() {
    ListCategory(kCategoryBdaNetworkTuner);
    ListCategory(kCategoryBdaReceiverComponent);
    return 0;
}

int ChildFailures() {
    IDVBSLocator* locator = nullptr;
    IBaseFilter* provider = nullptr;
    ITuner* tuner = nullptr;
    ITuningSpace* space = nullptr;
    ITuneRequest* request = nullptr;
    std::printf("locator 0x%08lX\n", static_cast<unsigned long>(Make(CLSID_DVBSLocator, &locator)));
    HRESULT hr = Make(CLSID_DVBSNetworkProvider, &provider);
    if (SUCCEEDED(hr)) hr = provider->QueryInterface(IID_ITuner, reinterpret_cast<void**>(&tuner));
    if (SUCCEEDED(hr)) hr = Make(CLSID_DVBSTuningSpace, &space);
    if (SUCCEEDED(hr)) hr = space->CreateTuneRequest(&request);
    if (SUCCEEDED(hr)) hr = tuner->put_TuneRequest(request);
    std::printf("tune 0x%08lX\n", static_cast<unsigned long>(hr));
    Drop(request);
    Drop(space);
    Drop(tuner);
    Drop(provider);
    Drop(locator);
    return 0;
}

// ---- the parent: runs the children and checks what they and the doubles say

std::wstring g_folder;

std::string RunChild(const char* name, const std::string& script, std::vector<std::string>* log) {
    const std::wstring scriptPath = g_folder + L"\\bda-selftest.script";
    const std::wstring logPath = g_folder + L"\\bda-selftest.log";
    std::ofstream(scriptPath.c_str(), std::ios::binary) << script;
    DeleteFileW(logPath.c_str());
    SetEnvironmentVariableW(L"ZENTRIK_BDA_SCRIPT", scriptPath.c_str());
    SetEnvironmentVariableW(L"ZENTRIK_BDA_LOG", logPath.c_str());
    const std::wstring outPath = g_folder + L"\\bda-selftest.out";
    SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
    HANDLE out = CreateFileW(outPath.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit, CREATE_ALWAYS, 0, nullptr);
    wchar_t self[MAX_PATH];
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    std::wstring command = L"\"" + std::wstring(self) + L"\" " + std::wstring(name, name + strlen(name));
    STARTUPINFOW start = {};
    start.cb = sizeof start;
    start.dwFlags = STARTF_USESTDHANDLES;
    start.hStdOutput = out;
    start.hStdError = out;
    PROCESS_INFORMATION process = {};
    if (CreateProcessW(nullptr, &command[0], nullptr, nullptr, TRUE, 0, nullptr, nullptr, &start, &process)) {
        if (WaitForSingleObject(process.hProcess, 60000) != WAIT_OBJECT_0) TerminateProcess(process.hProcess, 1);
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
    }
    CloseHandle(out);
    std::ifstream logFile(logPath.c_str());
    log->clear();
    for (std::string line; std::getline(logFile, line);) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        log->push_back(line);
    }
    std::ifstream outFile(outPath.c_str());
    std::stringstream text;
    text << outFile.rdbuf();
    return text.str();
}

bool Has(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

bool LogHas(const std::vector<std::string>& log, const std::string& part, const std::string& also = "") {
    for (const std::string& line : log)
        if (Has(line, part) && Has(line, also)) return true;
    return false;
}

// Every object the doubles created was destroyed (its last Release came).
bool AllDestroyed(const std::vector<std::string>& log, std::string* left) {
    std::set<std::string> alive;
    for (const std::string& line : log) {
        std::istringstream words(line);
        std::string ms, thread, object, what;
        words >> ms >> thread >> object >> what;
        if (what == "Create") alive.insert(object);
        if (what == "Destroy") alive.erase(object);
    }
    for (const std::string& object : alive) *left += object + " ";
    return alive.empty();
}

void CaseGraph() {
    std::vector<std::string> log;
    DeleteFileW(LockGate().c_str());
    std::wstring gate = LockGate();
    const std::string out = RunChild("graph", "at 0 locked 0 strength 0 quality 0\n"
                                              "on " + std::string(gate.begin(), gate.end()) +
                                              " locked 1 strength 61 quality 72\n", &log);
    DeleteFileW(gate.c_str());
    Check(Has(out, "build 0x00000000 name Zentrik Test DVB-S Tuner"),
          "the device enumerator finds the tuner by its category, with its name, and the graph connects", out);
    Check(Has(out, "run 0x00000000") && Has(out, "result 0x00000000"), "the graph runs and tunes", out);
    Check(LogHas(log, "TUNE frequency 10723000 symbolrate 29900 polarisation 1 modulation -1 fec -1 fecrate -1 "
                      "low 9750000 high 10600000 switch 11700000 lo 9750000 lnbsource 2"),
          "the tune request's line carries the locator's and the tuning space's values");
    for (const char* filter : {"Provider", "Tuner", "Demux"})
        Check(LogHas(log, std::string(" ") + filter + "#", " Run 0x00000000") &&
                  LogHas(log, std::string(" ") + filter + "#", " Stop 0x00000000"),
              std::string(filter) + " is run and stopped");
    bool sawUnlocked = false, sawLocked = false, orderly = true;
    std::istringstream lines(out);
    for (std::string line; std::getline(lines, line);) {
        unsigned long ms = 0;
        int locked = 0;
        if (std::sscanf(line.c_str(), "poll %lu %d", &ms, &locked) != 2) continue;
        if (locked) sawLocked = true;
        else sawUnlocked = true;
        if (!locked && sawLocked) orderly = false;  // the script never drops the lock
    }
    Check(sawUnlocked && sawLocked && orderly, "the scripted lock comes after the search and stays");
    Check(Has(out, "strength 61"), "the scripted strength is read");
    std::string left;
    Check(AllDestroyed(log, &left), "every double is destroyed when the graph goes", "left: " + left);
    Check(!LogHas(log, "FAULT"), "the script is read without fault");
}

void CaseNoDevice() {
    std::vector<std::string> log;
    const std::string out = RunChild("find", "nodevice\n", &log);
    Check(Has(out, "find 0x80040111"), "nodevice: binding the tuner fails with CLASS_E_CLASSNOTAVAILABLE", out);
    Check(LogHas(log, "Factory CreateInstance Tuner 0x80040111"), "and the doubles' log says so");
}

void CaseUnplugged() {
    HMODULE doubles = LoadLibraryW(L"ZentrikBdaDoubles.dll");
    typedef HRESULT(STDAPICALLTYPE * InstallFunction)(BOOL, LPCWSTR);
    InstallFunction install = doubles ? reinterpret_cast<InstallFunction>(reinterpret_cast<void*>(GetProcAddress(doubles, "DllInstall"))) : nullptr;
    Check(install != nullptr, "the doubles export DllInstall");
    if (!install) return;
    std::vector<std::string> log;
    Check(install(FALSE, L"tuner") == S_OK, "the tuner leaves its category");
    const std::string gone = RunChild("find", "", &log);
    Check(install(TRUE, L"tuner") == S_OK, "and comes back");
    const std::string back = RunChild("find", "", &log);
    Check(Has(gone, "find 0x00000001"), "without it the category is empty", gone);
    Check(Has(back, "find 0x00000000 name Zentrik Test DVB-S Tuner"), "with it the tuner is found again", back);
    FreeLibrary(doubles);
}

// The twin and the receiver are listed always, and can be made only when
// the script brings them in.
void CaseDevices() {
    std::vector<std::string> log;
    const std::string alone = RunChild("devices", "", &log);
    const std::string all = RunChild("devices", "tuners 2\nreceiver\n", &log);
    const std::string tuner = "device Zentrik Test DVB-S Tuner|\\\\?\\zentrik#double#tuner#";
    const std::string twin = "device Zentrik Test DVB-S Tuner|\\\\?\\zentrik#double#twin#";
    const std::string receiver = "device Zentrik Test DVB-S Receiver|";
    Check(Has(alone, tuner) && Has(alone, twin) && Has(alone, receiver),
          "two tuners of one name with their own device paths, and a receiver, are listed", alone);
    Check(Has(alone, "0x00000000\n") && Has(alone, "bind 0x80040111"),
          "without the script only the tuner can be made", alone);
    Check(std::count(all.begin(), all.end(), '\n') == 3 && !Has(all, "bind 0x8"),
          "with tuners 2 and receiver, all three can be made", all);
}

void CaseFailures() {
    std::vector<std::string> log;
    const std::string out = RunChild("failures", "fail Create.Locator 0x80040154\n"
                                                 "fail Provider.put_TuneRequest 0x80004005\n"
                                                 "at 0 locked maybe strength 1 quality 1\n", &log);
    Check(Has(out, "locator 0x80040154"), "a forced creation failure reaches CoCreateInstance");
    Check(Has(out, "tune 0x80004005") && !LogHas(log, "TUNE "), "a forced put_TuneRequest failure tunes nothing");
    Check(LogHas(log, "Script FAULT at 0 locked maybe"), "an unreadable script line is logged as a fault");
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    int result = 0;
    if (argc > 1) {
        const std::wstring name = argv[1];
        if (name == L"graph") result = ChildGraph();
        else if (name == L"find") result = ChildFind();
        else if (name == L"failures") result = ChildFailures();
        else if (name == L"devices") result = ChildDevices();
        fflush(stdout);
    } else {
        wchar_t temp[MAX_PATH];
        GetTempPathW(MAX_PATH, temp);
        g_folder = temp;
        if (!g_folder.empty() && g_folder.back() == L'\\') g_folder.pop_back();
        CaseGraph();
        CaseNoDevice();
        CaseUnplugged();
        CaseDevices();
        CaseFailures();
        std::printf("%d failed\n", g_failures);
        result = g_failures ? 1 : 0;
    }
    CoUninitialize();
    return result;
}
