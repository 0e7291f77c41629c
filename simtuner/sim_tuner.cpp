// ZentrikSimTuner.dll: a simulated tuner card source filter. It answers the
// same class id and interfaces as the card's filter, keeps the tuning state
// from the Set calls and reports lock and level from a dish being turned
// slowly through the satellite's beam (about 20 s a sweep), with strength and
// quality apart through the readings interface. Its test build follows a
// script instead, when one is given (sim_hooks.h).
#include <windows.h>
#include <strmif.h>

#include <atomic>
#include <cmath>
#include <mutex>
#include <new>
#include <string>

#include "sim_hooks.h"
#include "tuner/com_server_registration.h"
#include "tuner/tuner_interface.h"

namespace {

std::atomic<long> g_objects{0};
std::atomic<long> g_locks{0};

constexpr uint32_t kDemoPeriodMs = 20000;
constexpr uint32_t kDemoSearchMs = 4000;  // no lock at the start of each sweep
constexpr double kDemoPeak = 85.0;
// The quality follows the signal-to-noise ratio: it rises later than the
// strength, peaks about a second after it (at 56% of the sweep where the
// strength peaks at half) and falls away faster, as on a real dish.
constexpr double kDemoQualityPeak = 78.0;
constexpr double kDemoQualityPeakAt = 0.56;
constexpr double kDemoQualityWidth = 0.16;
const double kPi = 3.14159265358979323846;

// Each interface logs its own releases, so the order in which the program lets
// go of them can be read from the log.
struct ControlPart : ITunerControl {
    ULONG STDMETHODCALLTYPE Release() override { return ReleaseThrough("ITunerControl"); }
    virtual ULONG ReleaseThrough(const char* interfaceName) = 0;
};
struct FilterPart : IBaseFilter {
    ULONG STDMETHODCALLTYPE Release() override { return ReleaseThrough("IBaseFilter"); }
    virtual ULONG ReleaseThrough(const char* interfaceName) = 0;
};
struct ReadingsPart : IZentrikSignalReadings {
    ULONG STDMETHODCALLTYPE Release() override { return ReleaseThrough("ISignalReadings"); }
    virtual ULONG ReleaseThrough(const char* interfaceName) = 0;
};

int32_t ClampedPercent(double value, long low) {
    const long rounded = std::lround(value);
    return static_cast<int32_t>(rounded < low ? low : rounded > 100 ? 100 : rounded);
}

// A reading as the readings interface gives it: the raw value in percent.
void FillReading(int32_t percent, int32_t* shown, int32_t* raw, uint16_t* unit) {
    const bool known = percent != kSignalPercentUnknown;
    *shown = percent;
    *raw = known ? percent : 0;
    *unit = known ? kSignalPercent : kSignalNoValue;
}

class SimTuner final : public ControlPart, public FilterPart, public ReadingsPart {
public:
    SimTuner() { ++g_objects; }
    ~SimTuner() { --g_objects; }

    // IUnknown (one identity: the IBaseFilter part)
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        if (!out) return E_POINTER;
        *out = nullptr;
        HRESULT result = S_OK;
        Call call(this, "QueryInterface");
        if (IsEqualGUID(iid, IID_IUnknown) || IsEqualGUID(iid, kBaseFilterInterfaceId) ||
            IsEqualGUID(iid, IID_IMediaFilter) || IsEqualGUID(iid, IID_IPersist)) {
            *out = static_cast<IBaseFilter*>(this);
        } else if (IsEqualGUID(iid, kTunerControlInterfaceId)) {
            HRESULT forced;
            if (SimForcedResult("QueryInterface", &forced)) result = forced;
            if (result >= 0) *out = static_cast<ITunerControl*>(this);
        } else if (IsEqualGUID(iid, kSignalReadingsInterfaceId)) {
            SimForcedResult("SignalReadings", &result);  // a tuner without the interface
            if (result >= 0) *out = static_cast<IZentrikSignalReadings*>(this);
        } else {
            result = E_NOINTERFACE;
        }
        if (*out) AddRefPart();
        SIM_LOG("QueryInterface %s 0x%08lX", SimInterfaceName(iid), static_cast<unsigned long>(result));
        return result;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return AddRefPart(); }
    ULONG ReleaseThrough(const char* interfaceName) override {
        const LONG left = InterlockedDecrement(&refs_);
        SIM_LOG("Release %s 0x%08lX", interfaceName, static_cast<unsigned long>(left));
        if (left == 0) delete this;
        return static_cast<ULONG>(left);
    }

    // ITunerControl: the tuning state
    HRESULT STDMETHODCALLTYPE SetTransponderFrequency(int32_t v) override { return Set("SetTransponderFrequency", v, frequency_); }
    HRESULT STDMETHODCALLTYPE SetSymbolRate(int32_t v) override { return Set("SetSymbolRate", v, symbolRate_); }
    HRESULT STDMETHODCALLTYPE SetLnbFrequency(int32_t v) override { return Set("SetLnbFrequency", v, lnbFrequency_); }
    HRESULT STDMETHODCALLTYPE SetFec(int32_t v) override { return Set("SetFec", v, fec_); }
    HRESULT STDMETHODCALLTYPE SetPolarity(int32_t v) override { return Set("SetPolarity", v, polarity_); }
    HRESULT STDMETHODCALLTYPE SetLnbSelection(int32_t v) override { return Set("SetLnbSelection", v, band_); }
    HRESULT STDMETHODCALLTYPE SetDiseqc(int32_t v) override { return Set("SetDiseqc", v, diseqc_); }

    HRESULT STDMETHODCALLTYPE InitializeControl() override {
        Call call(this, "InitializeControl");
        HRESULT result = S_OK;
        SimForcedResult("InitializeControl", &result);
        if (result >= 0) {
            // The signal timeline starts at the first successful InitializeControl.
            std::lock_guard<std::mutex> guard(mutex_);
            if (!initialized_) {
                initialized_ = true;
                startTick_ = GetTickCount64();
            }
        }
        SIM_LOG("InitializeControl - 0x%08lX", static_cast<unsigned long>(result));
        return result;
    }

    HRESULT STDMETHODCALLTYPE QueryLock() override {
        Call call(this, "QueryLock");
        Sleep(SimLatencyMs());
        HRESULT result = Signal().Locked ? S_OK : E_FAIL;
        SimForcedResult("QueryLock", &result);
        SIM_LOG("QueryLock - 0x%08lX", static_cast<unsigned long>(result));
        return result;
    }

    HRESULT STDMETHODCALLTYPE ReadSignalLevel(int32_t* level) override {
        Call call(this, "ReadSignalLevel");
        Sleep(SimLatencyMs());
        HRESULT result = S_OK;
        SimSignal now;  // logged as level 0 when there is nowhere to write it
        if (!level) {
            result = E_POINTER;
        } else {
            now = Signal();
            if (now.WritesLevel) *level = now.Level;  // written even when a failure is scripted
        }
        SimForcedResult("ReadSignalLevel", &result);
        SIM_LOG("ReadSignalLevel %s 0x%08lX", LevelText(now.WritesLevel, now.Level).c_str(),
                static_cast<unsigned long>(result));
        return result;
    }

    // The readings interface answers at once, as the program asks: no pause.
    HRESULT STDMETHODCALLTYPE GetSignalReadings(ZentrikSignalInfo* info) override {
        Call call(this, "GetSignalReadings");
        if (!info) return E_POINTER;
        if (info->cbSize < sizeof(ZentrikSignalInfo)) return E_INVALIDARG;
        const SimSignal now = Signal();
        FillReading(now.Strength, &info->StrengthPercent, &info->StrengthRaw, &info->StrengthUnit);
        FillReading(now.Quality, &info->QualityPercent, &info->QualityRaw, &info->QualityUnit);
        const bool known = now.Strength != kSignalPercentUnknown || now.Quality != kSignalPercentUnknown;
        return known ? S_OK : S_FALSE;
    }

#define ZENTRIK_UNUSED_SLOT(n)                                                       \
    HRESULT STDMETHODCALLTYPE Unused##n() override {                                 \
        SIM_LOG("FAULT unused Unused" #n);                                           \
        SIM_LOG("Unused" #n " - 0x%08lX", static_cast<unsigned long>(E_NOTIMPL));     \
        return E_NOTIMPL;                                                            \
    }
    ZENTRIK_UNUSED_SLOT(10) ZENTRIK_UNUSED_SLOT(13) ZENTRIK_UNUSED_SLOT(14)
    ZENTRIK_UNUSED_SLOT(15) ZENTRIK_UNUSED_SLOT(16) ZENTRIK_UNUSED_SLOT(17)
    ZENTRIK_UNUSED_SLOT(18) ZENTRIK_UNUSED_SLOT(19) ZENTRIK_UNUSED_SLOT(20)
    ZENTRIK_UNUSED_SLOT(21) ZENTRIK_UNUSED_SLOT(22) ZENTRIK_UNUSED_SLOT(23)
    ZENTRIK_UNUSED_SLOT(24) ZENTRIK_UNUSED_SLOT(25) ZENTRIK_UNUSED_SLOT(26)
    ZENTRIK_UNUSED_SLOT(27) ZENTRIK_UNUSED_SLOT(28) ZENTRIK_UNUSED_SLOT(29)
    ZENTRIK_UNUSED_SLOT(30) ZENTRIK_UNUSED_SLOT(31) ZENTRIK_UNUSED_SLOT(32)
    ZENTRIK_UNUSED_SLOT(33) ZENTRIK_UNUSED_SLOT(34) ZENTRIK_UNUSED_SLOT(35)
#undef ZENTRIK_UNUSED_SLOT

    // IPersist / IMediaFilter / IBaseFilter: a filter with no pins and no graph.
    HRESULT STDMETHODCALLTYPE GetClassID(CLSID* id) override {
        if (!id) return E_POINTER;
        *id = kTunerFilterClassId;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Stop() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Pause() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Run(REFERENCE_TIME) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetState(DWORD, FILTER_STATE* state) override {
        if (state) *state = State_Stopped;
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE SetSyncSource(IReferenceClock*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetSyncSource(IReferenceClock** clock) override {
        if (clock) *clock = nullptr;
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE EnumPins(IEnumPins** pins) override {
        if (pins) *pins = nullptr;
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE FindPin(LPCWSTR, IPin** pin) override {
        if (pin) *pin = nullptr;
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE QueryFilterInfo(FILTER_INFO* info) override {
        if (info) {
            info->achName[0] = 0;
            info->pGraph = nullptr;
        }
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE JoinFilterGraph(IFilterGraph*, LPCWSTR) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE QueryVendorInfo(LPWSTR* info) override {
        if (info) *info = nullptr;
        return E_NOTIMPL;
    }

private:
    // Marks a call in progress and reports a call that starts while another
    // one is still running on the object (Zentrik never overlaps its calls).
    struct Call {
        Call(SimTuner* owner, const char* name) : owner_(owner) {
            previous_ = owner->current_.exchange(name);
            if (previous_) SIM_LOG("FAULT overlap %s %s", name, previous_);
        }
        ~Call() { owner_->current_.store(previous_); }
        SimTuner* owner_;
        const char* previous_;
    };

    // The level a read gave, as the log shows it: "-" when it wrote none.
    static std::string LevelText(bool writes, int32_t value) {
        return writes ? std::to_string(value) : std::string("-");
    }

    ULONG AddRefPart() { return static_cast<ULONG>(InterlockedIncrement(&refs_)); }

    HRESULT Set(const char* name, int32_t value, std::atomic<int32_t>& field) {
        Call call(this, name);
        HRESULT result = S_OK;
        SimForcedResult(name, &result);
        if (result >= 0) field.store(value);
        SIM_LOG("%s %ld 0x%08lX", name, static_cast<long>(value), static_cast<unsigned long>(result));
        return result;
    }

    // The signal now: the lock state, the level (0 without lock), strength
    // and quality. Each call draws the demo's noise anew.
    SimSignal Signal() {
        std::lock_guard<std::mutex> guard(mutex_);
        SimSignal now;
        if (initialized_) {
            const uint32_t ms = static_cast<uint32_t>(GetTickCount64() - startTick_);
            if (!SimScriptedSignal(ms, &now)) now = DemoSignal(ms);  // scripted: as is, also without lock
        }
        return now;
    }

    // Demo: nothing until a transponder has been tuned; then each sweep
    // starts off the beam, finds the lock and passes through a peak.
    SimSignal DemoSignal(uint32_t ms) {
        SimSignal now;
        const uint32_t phase = ms % kDemoPeriodMs;
        if (frequency_.load() == 0 || phase < kDemoSearchMs) return now;
        const double x = static_cast<double>(phase - kDemoSearchMs) / (kDemoPeriodMs - kDemoSearchMs);
        const double beam = std::pow(std::sin(kPi * x), 1.5);
        seed_ = seed_ * 1103515245u + 12345u;
        const double noise = static_cast<double>((seed_ >> 16) % 5) - 2.0;  // -2..2
        const double off = (x - kDemoQualityPeakAt) / kDemoQualityWidth;
        now.Locked = true;
        now.Level = now.Strength = ClampedPercent(8.0 + (kDemoPeak - 8.0) * beam + noise, 3);
        now.Quality = ClampedPercent(kDemoQualityPeak * std::exp(-off * off) + noise, 0);
        return now;
    }

    LONG refs_ = 1;
    std::atomic<const char*> current_{nullptr};
    std::mutex mutex_;
    bool initialized_ = false;
    ULONGLONG startTick_ = 0;
    uint32_t seed_ = 20261207u;
    std::atomic<int32_t> frequency_{0}, symbolRate_{0}, lnbFrequency_{0}, fec_{0}, polarity_{0},
        band_{0}, diseqc_{0};
};

class SimTunerFactory final : public IClassFactory {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        if (!out) return E_POINTER;
        if (IsEqualGUID(iid, IID_IUnknown) || IsEqualGUID(iid, IID_IClassFactory)) {
            *out = static_cast<IClassFactory*>(this);
            AddRef();
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    // The factory is static; the module stays loaded while it is referenced.
    ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(++g_locks + 1); }
    ULONG STDMETHODCALLTYPE Release() override { return static_cast<ULONG>(--g_locks + 1); }

    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID iid, void** out) override {
        if (!out) return E_POINTER;
        *out = nullptr;
        if (outer) return CLASS_E_NOAGGREGATION;
        HRESULT forced = S_OK;
        const bool scripted = SimForcedResult("Create", &forced);
        if (scripted && forced < 0) {
            SIM_LOG("Create %s 0x%08lX", SimInterfaceName(iid), static_cast<unsigned long>(forced));
            return forced;
        }
        SimTuner* tuner = new (std::nothrow) SimTuner;
        if (!tuner) return E_OUTOFMEMORY;
        HRESULT result = tuner->QueryInterface(iid, out);
        static_cast<IBaseFilter*>(tuner)->Release();
        if (result >= 0 && scripted) result = forced;  // a scripted success code, as is
        SIM_LOG("Create %s 0x%08lX", SimInterfaceName(iid), static_cast<unsigned long>(result));
        return result;
    }
    HRESULT STDMETHODCALLTYPE LockServer(BOOL lock) override {
        if (lock) ++g_locks; else --g_locks;
        return S_OK;
    }
};

SimTunerFactory g_factory;

}  // namespace

extern "C" HRESULT STDAPICALLTYPE DllGetClassObject(REFCLSID clsid, REFIID iid, void** out) {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (!IsEqualGUID(clsid, kTunerFilterClassId)) return CLASS_E_CLASSNOTAVAILABLE;
    SimPrepare();
    return g_factory.QueryInterface(iid, out);
}

extern "C" HRESULT STDAPICALLTYPE DllCanUnloadNow() {
    return (g_objects.load() == 0 && g_locks.load() == 0) ? S_OK : S_FALSE;
}

// Registers for the current user: HKCU\Software\Classes\CLSID\{class}\InprocServer32.
extern "C" HRESULT STDAPICALLTYPE DllRegisterServer() {
    return RegisterTunerServer(L"Zentrik simulated tuner");
}

extern "C" HRESULT STDAPICALLTYPE DllUnregisterServer() { return UnregisterTunerServer(); }
