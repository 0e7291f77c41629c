// ZentrikBdaTuner.dll: the tuner filter class backed by any BDA DVB-S card.
// The program's Set calls are stored; the tune request goes out at SetDiseqc,
// the last step of the program's fixed tuning sequence. Lock and level come
// from the tuner's BDA signal statistics.
#include "bdatuner/bda_tuner.h"

#include <new>

#include "bdatuner/bda_worker.h"
#include "tuner/com_server_registration.h"
#include "tuner/tuner_interface.h"

static_assert(kBdaNotSet == BDA_POLARISATION_NOT_SET && kBdaNotSet == BDA_BCC_RATE_NOT_SET, "BDA numbers");
static_assert(kBdaPolarisationHorizontal == BDA_POLARISATION_LINEAR_H, "BDA numbers");
static_assert(kBdaPolarisationVertical == BDA_POLARISATION_LINEAR_V, "BDA numbers");
static_assert(kBdaModulationQpsk == BDA_MOD_QPSK, "BDA numbers");

namespace {

volatile LONG g_objects = 0;
volatile LONG g_locks = 0;

class BdaTuner final : public ITunerControl, public IBaseFilter, public IBdaProbe {
public:
    BdaTuner() {
        InterlockedIncrement(&g_objects);
        InitializeCriticalSection(&settingsLock_);
    }
    ~BdaTuner() {
        if (worker_.Thread) RunOnBdaWorker(&worker_, TearDownJob, this);
        StopBdaWorker(&worker_);
        DeleteCriticalSection(&settingsLock_);
        InterlockedDecrement(&g_objects);
    }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        if (!out) return E_POINTER;
        *out = nullptr;
        if (IsEqualGUID(iid, IID_IUnknown) || IsEqualGUID(iid, kBaseFilterInterfaceId) ||
            IsEqualGUID(iid, IID_IMediaFilter) || IsEqualGUID(iid, IID_IPersist))
            *out = static_cast<IBaseFilter*>(this);
        else if (IsEqualGUID(iid, kTunerControlInterfaceId))
            *out = static_cast<ITunerControl*>(this);
        else if (IsEqualGUID(iid, kBdaProbeInterfaceId))
            *out = static_cast<IBdaProbe*>(this);
        else
            return E_NOINTERFACE;
        AddRef();
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(InterlockedIncrement(&refs_)); }
    ULONG STDMETHODCALLTYPE Release() override {
        const LONG left = InterlockedDecrement(&refs_);
        if (left == 0) delete this;
        return static_cast<ULONG>(left);
    }

    HRESULT STDMETHODCALLTYPE SetTransponderFrequency(int32_t v) override {
        return Store(&BdaTuneSettings::FrequencyMhz, v);
    }
    HRESULT STDMETHODCALLTYPE SetSymbolRate(int32_t v) override {
        return Store(&BdaTuneSettings::SymbolRateKsps, v);
    }
    HRESULT STDMETHODCALLTYPE SetLnbFrequency(int32_t v) override {
        return Store(&BdaTuneSettings::LnbFrequencyMhz, v);
    }
    HRESULT STDMETHODCALLTYPE SetFec(int32_t v) override { return Store(&BdaTuneSettings::FecCode, v); }
    HRESULT STDMETHODCALLTYPE SetPolarity(int32_t v) override {
        return Store(&BdaTuneSettings::Polarisation, v);
    }
    HRESULT STDMETHODCALLTYPE SetLnbSelection(int32_t v) override {
        return Store(&BdaTuneSettings::LnbSelection, v);
    }
    HRESULT STDMETHODCALLTYPE SetDiseqc(int32_t v) override {
        Store(&BdaTuneSettings::Diseqc, v);
        return Tune();
    }

    HRESULT STDMETHODCALLTYPE InitializeControl() override;
    HRESULT STDMETHODCALLTYPE QueryLock() override;
    HRESULT STDMETHODCALLTYPE ReadSignalLevel(int32_t* level) override;
    HRESULT STDMETHODCALLTYPE ReadReport(BdaProbeReport* report) override;

    // The filter face only identifies the class: the BDA graph it stands for
    // is run by the bridge itself, so it has no pins and no graph of its own.
    HRESULT STDMETHODCALLTYPE GetClassID(CLSID* id) override { return Give(id, kTunerFilterClassId); }
    HRESULT STDMETHODCALLTYPE GetState(DWORD, FILTER_STATE* state) override {
        return Give(state, State_Stopped);
    }
    HRESULT STDMETHODCALLTYPE Stop() override { return S_OK; }
    HRESULT STDMETHODCALLTYPE Pause() override { return S_OK; }
    HRESULT STDMETHODCALLTYPE Run(REFERENCE_TIME) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE SetSyncSource(IReferenceClock*) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE GetSyncSource(IReferenceClock** clock) override { return NoObject(clock); }
    HRESULT STDMETHODCALLTYPE EnumPins(IEnumPins** pins) override { return NoObject(pins); }
    HRESULT STDMETHODCALLTYPE FindPin(LPCWSTR, IPin** pin) override { return NoObject(pin); }
    HRESULT STDMETHODCALLTYPE QueryFilterInfo(FILTER_INFO* info) override {
        if (!info) return E_POINTER;
        lstrcpynW(info->achName, L"Zentrik BDA tuner bridge", MAX_FILTER_NAME);
        info->pGraph = nullptr;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE JoinFilterGraph(IFilterGraph*, LPCWSTR) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE QueryVendorInfo(LPWSTR* info) override { return NoObject(info); }

    // Slots the program never calls; declared so that ReadSignalLevel keeps slot 36.
    // clang-format off
#define BDA_UNUSED_METHOD(n) \
    HRESULT STDMETHODCALLTYPE Unused##n() override { return E_NOTIMPL; }
    BDA_UNUSED_METHOD(10) BDA_UNUSED_METHOD(13) BDA_UNUSED_METHOD(14) BDA_UNUSED_METHOD(15)
    BDA_UNUSED_METHOD(16) BDA_UNUSED_METHOD(17) BDA_UNUSED_METHOD(18) BDA_UNUSED_METHOD(19)
    BDA_UNUSED_METHOD(20) BDA_UNUSED_METHOD(21) BDA_UNUSED_METHOD(22) BDA_UNUSED_METHOD(23)
    BDA_UNUSED_METHOD(24) BDA_UNUSED_METHOD(25) BDA_UNUSED_METHOD(26) BDA_UNUSED_METHOD(27)
    BDA_UNUSED_METHOD(28) BDA_UNUSED_METHOD(29) BDA_UNUSED_METHOD(30) BDA_UNUSED_METHOD(31)
    BDA_UNUSED_METHOD(32) BDA_UNUSED_METHOD(33) BDA_UNUSED_METHOD(34) BDA_UNUSED_METHOD(35)
#undef BDA_UNUSED_METHOD
        // clang-format on

        private : template <class T>
                  static HRESULT Give(T* out, const T& value) {
        if (!out) return E_POINTER;
        *out = value;
        return S_OK;
    }
    template <class T>
    static HRESULT NoObject(T** out) {
        if (out) *out = nullptr;
        return E_NOTIMPL;
    }

    HRESULT Store(int32_t BdaTuneSettings::*field, int32_t value) {
        EnterCriticalSection(&settingsLock_);
        settings_.*field = value;
        LeaveCriticalSection(&settingsLock_);
        return S_OK;
    }

    HRESULT Tune();
    HRESULT Read(BdaProbeReport* report);
    static HRESULT BuildJob(void* self);
    static HRESULT TuneJob(void* self);
    static HRESULT ReadJob(void* self);
    static HRESULT TearDownJob(void* self);

    LONG refs_ = 1;
    CRITICAL_SECTION settingsLock_;
    BdaTuneSettings settings_;
    BdaWorker worker_;
    BdaTuneSettings pending_;  // the settings a tune job works from
    // Worker-side state: touched only by jobs, which run one at a time.
    BdaGraph graph_;
    bool built_ = false;
    BdaTuneRequest request_;
    StrengthUnit unit_ = StrengthUnit::Unknown;
};

// A reading handed to the worker and filled there, one per caller.
struct ReadContext {
    BdaTuner* Tuner;
    BdaProbeReport* Report;
};

int64_t MicrosecondsSince(const LARGE_INTEGER& start) {
    LARGE_INTEGER now, frequency;
    QueryPerformanceCounter(&now);
    QueryPerformanceFrequency(&frequency);
    return (now.QuadPart - start.QuadPart) * 1000000 / frequency.QuadPart;
}

// Sleep may end early for short pauses, so the rest is measured again.
void FinishStatisticsPeriod(const LARGE_INTEGER& start) {
    for (uint32_t pause = StatisticsPauseMs(MicrosecondsSince(start)); pause != 0;
         pause = StatisticsPauseMs(MicrosecondsSince(start)))
        Sleep(pause);
}

void CopyGraphFacts(const BdaGraph& graph, BdaProbeReport* report) {
    lstrcpynW(report->DeviceName, graph.DeviceName, kDeviceNameChars);
    lstrcpynW(report->ReceiverName, graph.ReceiverName, kDeviceNameChars);
    report->HasDemux = graph.Demux != nullptr;
    report->FailedStep = graph.FailedStep;
    report->FailedResult = graph.FailedResult;
}

HRESULT BdaTuner::BuildJob(void* self) {
    BdaTuner* tuner = static_cast<BdaTuner*>(self);
    if (tuner->built_) return S_OK;
    wchar_t wanted[kDeviceNameChars];
    ReadWantedDevice(wanted);
    const HRESULT result = BuildBdaGraph(&tuner->graph_, wanted);
    tuner->built_ = SUCCEEDED(result);
    return result;
}

HRESULT BdaTuner::TuneJob(void* self) {
    BdaTuner* tuner = static_cast<BdaTuner*>(self);
    if (!MapTuneSettings(tuner->pending_, &tuner->request_)) {
        tuner->graph_.FailedStep = "map the transponder (frequency or symbol rate out of range)";
        return tuner->graph_.FailedResult = E_INVALIDARG;
    }
    return SubmitBdaTune(&tuner->graph_, tuner->request_);
}

HRESULT BdaTuner::ReadJob(void* context) {
    const ReadContext* read = static_cast<ReadContext*>(context);
    BdaTuner* tuner = read->Tuner;
    BdaProbeReport* report = read->Report;
    HRESULT result = E_UNEXPECTED;
    if (tuner->built_) result = ReadBdaSignal(&tuner->graph_, &report->Locked, &report->Readings);
    report->Answered = SUCCEEDED(result);
    report->Locked = report->Answered && report->Locked;
    report->Level = report->Answered ? LevelPercent(report->Readings, &tuner->unit_) : 0;
    report->Unit = tuner->unit_;
    CopyGraphFacts(tuner->graph_, report);
    return result;
}

HRESULT BdaTuner::TearDownJob(void* self) {
    BdaTuner* tuner = static_cast<BdaTuner*>(self);
    TearDownBdaGraph(&tuner->graph_);
    tuner->built_ = false;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE BdaTuner::InitializeControl() {
    if (!worker_.Thread && !StartBdaWorker(&worker_)) {
        graph_.FailedStep = "start the bridge's COM thread";
        return graph_.FailedResult = E_FAIL;
    }
    const HRESULT result = RunOnBdaWorker(&worker_, BuildJob, this);
    if (FAILED(result)) StopBdaWorker(&worker_);  // nothing stays running after a failed start
    return result;
}

HRESULT BdaTuner::Tune() {
    if (!worker_.Thread) return E_UNEXPECTED;
    EnterCriticalSection(&settingsLock_);
    pending_ = settings_;
    LeaveCriticalSection(&settingsLock_);
    return RunOnBdaWorker(&worker_, TuneJob, this);
}

// Every statistics call lasts a full driver refresh period, also when it fails.
HRESULT BdaTuner::Read(BdaProbeReport* report) {
    LARGE_INTEGER start;
    QueryPerformanceCounter(&start);
    ReadContext context = {this, report};
    HRESULT result = E_UNEXPECTED;
    if (worker_.Thread)
        result = RunOnBdaWorker(&worker_, ReadJob, &context);
    else
        CopyGraphFacts(graph_, report);  // no worker: nothing else touches the graph
    FinishStatisticsPeriod(start);
    return result;
}

HRESULT STDMETHODCALLTYPE BdaTuner::QueryLock() {
    BdaProbeReport report;
    Read(&report);
    return report.Locked ? S_OK : E_FAIL;
}

HRESULT STDMETHODCALLTYPE BdaTuner::ReadSignalLevel(int32_t* level) {
    BdaProbeReport report;
    const HRESULT result = Read(&report);
    if (!level) return E_POINTER;
    *level = report.Level;
    return result;
}

HRESULT STDMETHODCALLTYPE BdaTuner::ReadReport(BdaProbeReport* report) {
    if (!report) return E_POINTER;
    *report = BdaProbeReport{};
    return Read(report);
}

class BdaTunerFactory final : public IClassFactory {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        if (!out) return E_POINTER;
        *out = nullptr;
        if (!IsEqualGUID(iid, IID_IUnknown) && !IsEqualGUID(iid, IID_IClassFactory)) return E_NOINTERFACE;
        *out = static_cast<IClassFactory*>(this);
        AddRef();
        return S_OK;
    }
    // A static object: its references only keep the module loaded.
    ULONG STDMETHODCALLTYPE AddRef() override {
        return static_cast<ULONG>(InterlockedIncrement(&g_locks)) + 1;
    }
    ULONG STDMETHODCALLTYPE Release() override {
        return static_cast<ULONG>(InterlockedDecrement(&g_locks)) + 1;
    }
    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID iid, void** out) override {
        if (!out) return E_POINTER;
        *out = nullptr;
        return outer ? CLASS_E_NOAGGREGATION : CreateBdaTuner(iid, out);
    }
    HRESULT STDMETHODCALLTYPE LockServer(BOOL lock) override {
        if (lock)
            InterlockedIncrement(&g_locks);
        else
            InterlockedDecrement(&g_locks);
        return S_OK;
    }
};

BdaTunerFactory g_factory;

}  // namespace

HRESULT CreateBdaTuner(REFIID iid, void** out) {
    if (!out) return E_POINTER;
    *out = nullptr;
    BdaTuner* tuner = new (std::nothrow) BdaTuner;
    if (!tuner) return E_OUTOFMEMORY;
    const HRESULT result = tuner->QueryInterface(iid, out);
    tuner->Release();
    return result;
}

// bdaprobe links the same code into an exe, which has no use for the exports.
#ifndef ZENTRIK_BDA_NO_EXPORTS
extern "C" HRESULT STDAPICALLTYPE DllGetClassObject(REFCLSID clsid, REFIID iid, void** out) {
    if (out && IsEqualGUID(clsid, kTunerFilterClassId)) return g_factory.QueryInterface(iid, out);
    if (out) *out = nullptr;
    return out ? CLASS_E_CLASSNOTAVAILABLE : E_POINTER;
}

extern "C" HRESULT STDAPICALLTYPE DllCanUnloadNow() {
    return (g_objects == 0 && g_locks == 0) ? S_OK : S_FALSE;
}

extern "C" HRESULT STDAPICALLTYPE DllRegisterServer() {
    return RegisterTunerServer(L"Zentrik BDA tuner bridge");
}

extern "C" HRESULT STDAPICALLTYPE DllUnregisterServer() { return UnregisterTunerServer(); }
#endif
