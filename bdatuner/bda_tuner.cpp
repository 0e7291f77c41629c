// ZentrikBdaTuner.dll: the tuner filter class backed by any BDA DVB-S card.
// The program's Set calls are stored; the tune request goes out at SetDiseqc,
// the last step of the program's fixed tuning sequence. Lock and level come
// from the card's BDA signal statistics, one read serving both, and serving
// the strength and quality the readings interface gives.
#include "bdatuner/bda_tuner.h"

#include <wrl/client.h>

#include <new>

#include "bdatuner/bda_com.h"
#include "bdatuner/bda_log.h"
#include "bdatuner/bda_identity.h"
#include "bdatuner/bda_readings.h"
#include "bdatuner/bda_session.h"
#include "bdatuner/bda_tap.h"
#include "tuner/com_server_registration.h"
#include "tuner/tuner_interface.h"

static_assert(kBdaNotSet == BDA_POLARISATION_NOT_SET && kBdaNotSet == BDA_BCC_RATE_NOT_SET, "BDA numbers");
static_assert(kBdaPolarisationHorizontal == BDA_POLARISATION_LINEAR_H, "BDA numbers");
static_assert(kBdaPolarisationVertical == BDA_POLARISATION_LINEAR_V, "BDA numbers");
static_assert(kBdaModulationQpsk == BDA_MOD_QPSK && kBdaModulation8psk == BDA_MOD_8PSK, "BDA numbers");

namespace {

// Every call into the driver has a time limit: a driver that never answers
// (a USB tuner pulled out mid-call) must not hang the program. Building may
// load a tuner's firmware; a tune request may wait for the tuner to settle.
constexpr DWORD kBuildLimitMs = 30000;
constexpr DWORD kTuneLimitMs = 10000;
constexpr DWORD kReadLimitMs = 750;
constexpr DWORD kTearDownLimitMs = 2000;
// After Esc the program looks once a second whether its poller has ended,
// then releases the bridge: even with a driver call blocked, a read in
// progress has given up by the first look, and the release lets go within
// its limit, well inside the five seconds a user will wait for the window to go.
constexpr DWORD kProgramShutdownStepMs = 1000;
static_assert(kReadLimitMs + kStatisticsPeriodUs / 1000 < kProgramShutdownStepMs, "a read ends before the first look");
static_assert(kProgramShutdownStepMs + kTearDownLimitMs <= 3000, "Esc must end the program quickly");

volatile LONG g_objects = 0;
volatile LONG g_locks = 0;

class BdaTuner final
    : public ComObject<BdaTuner, ITunerControl, IBaseFilter, IBdaProbe, IZentrikSignalReadings> {
public:
    static const ComFace<BdaTuner> kFaces[];
    BdaTuner() {
        InterlockedIncrement(&g_objects);
        InitializeCriticalSection(&settingsLock_);
        InitializeCriticalSection(&readingsLock_);
        CreateStreamTap(tap_.GetAddressOf());  // without one, the identity stays unknown
    }
    ~BdaTuner() {
        EndSession();
        DeleteCriticalSection(&readingsLock_);
        DeleteCriticalSection(&settingsLock_);
        InterlockedDecrement(&g_objects);
    }

    // The identity interfaces are a tear-off's, made when asked for.
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        if (out && IsIdentityInterface(iid))
            return CreateIdentityFace(static_cast<IBaseFilter*>(this), tap_.Get(), iid, out);
        return ComObject::QueryInterface(iid, out);
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
    HRESULT STDMETHODCALLTYPE GetSignalReadings(ZentrikSignalInfo* info) override;

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

private:
    template <class T>
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

    HRESULT StartSession();
    void EndSession();
    HRESULT Tune();
    HRESULT Read(BdaProbeReport* report);
    // Runs the job on the worker within the limit and takes the report it
    // left; false when the driver did not let it finish in time.
    bool RunJob(BdaJob job, DWORD limitMs);
    HRESULT TimedOut(const char* step);

    CRITICAL_SECTION settingsLock_;
    BdaTuneSettings settings_;
    BdaWorker* worker_ = nullptr;
    BdaSession* session_ = nullptr;  // the worker's; touched only while worker_ is set
    Microsoft::WRL::ComPtr<IBaseFilter> tap_;  // the stream tap, shared with each session's graph
    BdaProbeReport last_;            // the report as the latest job left it
    bool overdue_ = false;           // the driver kept the latest job past its limit
    // One statistics read serves the lock check and the level read after it.
    bool levelFromLock_ = false;
    int32_t lockLevel_ = 0;
    // What the latest read said of strength and quality, for any thread.
    CRITICAL_SECTION readingsLock_;
    ZentrikSignalInfo readings_ = SignalInfoOf(BdaProbeReport());
};

const ComFace<BdaTuner> BdaTuner::kFaces[] = {{&IID_IUnknown, AsFace<BdaTuner, IBaseFilter>},
                                               {&kBaseFilterInterfaceId, AsFace<BdaTuner, IBaseFilter>},
                                               {&IID_IMediaFilter, AsFace<BdaTuner, IBaseFilter>},
                                               {&IID_IPersist, AsFace<BdaTuner, IBaseFilter>},
                                               {&kTunerControlInterfaceId, AsFace<BdaTuner, ITunerControl>},
                                               {&kBdaProbeInterfaceId, AsFace<BdaTuner, IBdaProbe>},
                                               {&kSignalReadingsInterfaceId, AsFace<BdaTuner, IZentrikSignalReadings>},
                                               {}};

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

bool BdaTuner::RunJob(BdaJob job, DWORD limitMs) {
    const bool ran = RunBdaJob(worker_, job, limitMs);
    overdue_ = !ran;
    CopyBdaReport(session_, &last_);
    return ran;
}

HRESULT BdaTuner::TimedOut(const char* step) {
    last_.FailedStep = step;
    last_.FailedResult = HRESULT_FROM_WIN32(ERROR_TIMEOUT);
    BdaLog("could not %s: %s; the call is left to the driver", step, LogResult(last_.FailedResult).Text);
    return last_.FailedResult;
}

HRESULT BdaTuner::StartSession() {
    session_ = NewBdaSession();
    if (session_) session_->Graph.Tap = tap_;
    worker_ = session_ ? StartBdaWorker(session_, DeleteBdaSession) : nullptr;
    if (worker_) {
        session_->Worker = worker_;
        return S_OK;
    }
    if (session_) DeleteBdaSession(session_);
    session_ = nullptr;
    last_.FailedStep = "start the bridge's COM thread";
    last_.FailedResult = E_FAIL;
    BdaLog("could not %s: %s", last_.FailedStep, LogResult(last_.FailedResult).Text);
    return last_.FailedResult;
}

// The graph is torn down on the worker; a worker stuck in the driver is left
// to finish by itself, at once when the driver has already kept a job past
// its limit.
void BdaTuner::EndSession() {
    if (!worker_) return;
    if (overdue_)
        BdaLog("letting go with a driver call still blocked: the graph is torn down once the driver returns");
    if (!StopBdaWorker(worker_, TearDownJob, overdue_ ? 0 : kTearDownLimitMs) && !overdue_)
        BdaLog("the graph was not torn down in %lu ms: it is, once the driver returns",
               static_cast<unsigned long>(kTearDownLimitMs));
    worker_ = nullptr;
    session_ = nullptr;
}

HRESULT STDMETHODCALLTYPE BdaTuner::InitializeControl() {
    if (!worker_ && FAILED(StartSession())) return last_.FailedResult;
    const HRESULT result = RunJob(BuildJob, kBuildLimitMs)
                               ? BdaJobResult(session_)
                               : TimedOut("build the graph (the driver did not answer in time)");
    if (FAILED(result)) EndSession();  // nothing stays running after a failed start
    return result;
}

HRESULT BdaTuner::Tune() {
    if (!worker_) return E_UNEXPECTED;
    EnterCriticalSection(&settingsLock_);
    GiveBdaSettings(session_, settings_);
    LeaveCriticalSection(&settingsLock_);
    return RunJob(TuneJob, kTuneLimitMs) ? BdaJobResult(session_)
                                         : TimedOut("tune (the driver did not answer in time)");
}

// Every read lasts a full driver refresh period, also when it fails; one the
// driver does not answer in time reads as no lock.
HRESULT BdaTuner::Read(BdaProbeReport* report) {
    LARGE_INTEGER start;
    QueryPerformanceCounter(&start);
    if (worker_ && !RunJob(ReadJob, kReadLimitMs)) {
        TimedOut("read the signal statistics (the driver did not answer in time)");
        last_.TimedOut = true;
    }
    if (!worker_ || last_.TimedOut) {
        last_.Answered = last_.Locked = false;
        CloseStreamTap(tap_.Get());  // no lock known: nothing the stream said stands
    }
    *report = last_;
    const ZentrikSignalInfo readings = SignalInfoOf(last_);
    EnterCriticalSection(&readingsLock_);
    readings_ = readings;
    LeaveCriticalSection(&readingsLock_);
    FinishStatisticsPeriod(start);
    return report->Answered ? S_OK : E_FAIL;
}

HRESULT STDMETHODCALLTYPE BdaTuner::QueryLock() {
    BdaProbeReport report;
    Read(&report);
    levelFromLock_ = report.Locked;
    lockLevel_ = report.Level;
    return report.Locked ? S_OK : E_FAIL;
}

HRESULT STDMETHODCALLTYPE BdaTuner::ReadSignalLevel(int32_t* level) {
    if (!level) return E_POINTER;
    if (levelFromLock_) {  // the reading that found the lock
        levelFromLock_ = false;
        *level = lockLevel_;
        return S_OK;
    }
    BdaProbeReport report;
    const HRESULT result = Read(&report);
    *level = report.Level;
    return result;
}

HRESULT STDMETHODCALLTYPE BdaTuner::ReadReport(BdaProbeReport* report) {
    if (!report) return E_POINTER;
    return Read(report);
}

// From the latest read, never from the card: the caller's thread must not wait
// for a driver.
HRESULT STDMETHODCALLTYPE BdaTuner::GetSignalReadings(ZentrikSignalInfo* info) {
    if (!info) return E_POINTER;
    if (info->cbSize < sizeof(ZentrikSignalInfo)) return E_INVALIDARG;
    const uint32_t size = info->cbSize;
    EnterCriticalSection(&readingsLock_);
    *info = readings_;
    LeaveCriticalSection(&readingsLock_);
    info->cbSize = size;
    const bool known = info->StrengthPercent != kSignalPercentUnknown || info->QualityPercent != kSignalPercentUnknown;
    return known ? S_OK : S_FALSE;
}

class BdaTunerFactory final : public ComFaces<BdaTunerFactory, IClassFactory> {
public:
    static const ComFace<BdaTunerFactory> kFaces[];
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

const ComFace<BdaTunerFactory> BdaTunerFactory::kFaces[] = {
    {&IID_IUnknown, AsFace<BdaTunerFactory, IClassFactory>},
    {&IID_IClassFactory, AsFace<BdaTunerFactory, IClassFactory>},
    {}};

BdaTunerFactory g_factory;

}  // namespace

HRESULT CreateBdaTuner(REFIID iid, void** out) {
    return HandOut(new (std::nothrow) BdaTuner, iid, out);
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
