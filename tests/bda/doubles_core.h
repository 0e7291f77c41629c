// Shared parts of the BDA test doubles: the script that drives the signal,
// the call log, failure injection and the reference counting every double
// object uses. The contract is in README-contract.md beside this file.
#pragma once
#include <windows.h>
#include <ole2.h>

#include <atomic>
#include <initializer_list>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "tests/doubles_script/doubles_script.h"
#include "stream_source.h"

struct SignalState {
    uint32_t AtMs = 0;  // after the latest tune request
    bool Locked = false;
    bool Present = false;
    LONG Strength = 0;
    LONG Quality = 0;
};

// A call that blocks: from AfterMs after the latest tune request on, or once
// the file Gate exists (when one is named), every call of the method sleeps
// ForMs before it answers.
struct Hang {
    uint32_t AfterMs = 0;
    std::string Gate;
    uint32_t ForMs = 0;
};

// The modulation the scripted lock needs (kAnyModulation: none in particular).
constexpr int kAnyModulation = -2;

// How the card presents itself to a bridge; every field is one script
// directive (see README-contract.md).
struct CardShape {
    bool Receiver = false;     // a receiver component holds the demodulator node
    ULONG PinIn = 0, PinOut = 1;  // the only pin pair that opens a control node
    bool RfUnlocked = false;   // the RF node's lock is always false
    bool NoStatistics = false; // no node answers IBDA_SignalStatistics
    bool CommitOnly = false;   // DiSEqC changes apply only on CommitChanges
    bool Cold = false;         // the tuner connects only after a tune request
    int Tuners = 1;            // 2: the twin tuner, same friendly name, can be made
    int LockModulation = kAnyModulation;
    bool RefusesModulation = false;  // a tune request naming a modulation is refused
    bool Flip = false;         // every other statistics read finds no signal
};

// The script: the shared directives (tests/doubles_script) and the BDA
// doubles' own.
struct DoublesScript : SharedScript<SignalState> {
    bool NoDevice = false;
    CardShape Card;
    StreamShape Stream;  // the transport stream the card delivers
    bool HasGlitch = false;
    uint32_t GlitchAfterMs = 0;
    LONG GlitchStrength = 0;
    std::map<std::string, Hang> Hangs;        // "Object.Method" -> the hang
};

// Reads script text (no environment access, so the self-test can feed it).
void ParseDoublesScript(const std::string& text, DoublesScript& script);
// The process-wide script, read from ZENTRIK_BDA_SCRIPT on first use; the log
// file (ZENTRIK_BDA_LOG) is opened at the same time.
const DoublesScript& Script();
// The signal the script gives for now; not locked before any tune request,
// nor while the tuned modulation is not the one the lock needs, nor in a
// read that `flip` leaves without signal.
SignalState SignalNow();
// Restarts the script's clock: called for every tune request, with the
// modulation and the carrier frequency (kHz) it named.
void MarkTuned(int modulation, long frequencyKhz);
bool TunedYet();
// The carrier frequency the latest tune request named (0 before any), and
// the milliseconds since it.
long TunedFrequencyKhz();
uint32_t MsSinceTune();
// A statistics read begins (get_SignalLocked): `flip` turns the signal on or off.
void BeginStatisticsRead();
// The strength a get_SignalStrength answers: the script's, or once the glitch.
LONG StrengthNow();
// A forced result for "Object.Method", when the script has one.
bool ForcedResult(const char* object, const char* method, HRESULT* result);

// One log line: "MS TID " and the formatted text. Thread-safe; one WriteFile.
void LogLine(const char* format, ...);

// Reference counting, identity and the Create/Destroy log lines shared by
// every double object. A class lists its interfaces in Find().
class Counted {
public:
    explicit Counted(const char* kind);
    virtual ~Counted();
    const char* Kind() const { return kind_; }
    int Id() const { return id_; }
    // Logs "Kind#id " and the text.
    void Log(const char* format, ...) const;
    // Logs a call and its result; answers a forced result instead when the
    // script has one (then *forced is true and the call must do nothing).
    // A call the script makes hang sleeps here first.
    HRESULT Enter(const char* method, bool* forced) const;

protected:
    ULONG AddRefCount() { return static_cast<ULONG>(++refs_); }
    ULONG ReleaseCount();
    HRESULT Query(REFIID iid, void** out);
    virtual void* Find(REFIID iid) = 0;

private:
    const char* kind_;
    int id_;
    std::atomic<long> refs_{1};
};

// The IUnknown methods of a class deriving from Counted and its interfaces.
#define DOUBLE_IUNKNOWN                                                                      \
    ULONG STDMETHODCALLTYPE AddRef() override { return AddRefCount(); }                      \
    ULONG STDMETHODCALLTYPE Release() override { return ReleaseCount(); }                    \
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {              \
        return Query(iid, out);                                                              \
    }

// IDispatch without type information: the tuning-model objects are used
// through their vtables only.
#define DOUBLE_NO_DISPATCH                                                                   \
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {                       \
        if (count) *count = 0;                                                               \
        return count ? S_OK : E_POINTER;                                                     \
    }                                                                                        \
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; } \
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override {    \
        return E_NOTIMPL;                                                                    \
    }                                                                                        \
    HRESULT STDMETHODCALLTYPE Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*,      \
                                     EXCEPINFO*, UINT*) override {                           \
        return E_NOTIMPL;                                                                    \
    }

inline bool IsOneOf(REFIID iid, std::initializer_list<const IID*> ids) {
    for (const IID* id : ids)
        if (IsEqualGUID(iid, *id)) return true;
    return false;
}

// Hands out a new double through the interface asked for; the creation
// reference is dropped, so a failed query destroys it again.
template <typename D>
HRESULT Hand(D* made, REFIID iid, void** out) {
    if (!made) return E_OUTOFMEMORY;
    const HRESULT hr = made->QueryInterface(iid, out);
    made->Release();
    return hr;
}

// IUnknown of a small helper object (class factory, enumerator): it counts
// its own references, answers one interface and logs nothing.
template <typename I>
class PlainObject : public I {
public:
    virtual ~PlainObject() = default;
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        if (!out) return E_POINTER;
        *out = (IsEqualGUID(iid, IID_IUnknown) || IsEqualGUID(iid, Iid())) ? static_cast<I*>(this) : nullptr;
        if (!*out) return E_NOINTERFACE;
        AddRef();
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(++refs_); }
    ULONG STDMETHODCALLTYPE Release() override {
        const long left = --refs_;
        if (left == 0) delete this;
        return static_cast<ULONG>(left);
    }

protected:
    virtual const IID& Iid() const = 0;

private:
    std::atomic<long> refs_{1};
};

// Number of live double objects and server locks, for DllCanUnloadNow.
extern std::atomic<long> g_liveObjects;
extern std::atomic<long> g_serverLocks;

// Property helpers: store or answer a value, logging the call and its value.
template <typename T>
HRESULT PutValue(const Counted* self, const char* method, T& field, T value) {
    bool forced = false;
    const HRESULT hr = self->Enter(method, &forced);
    if (!forced) field = value;
    self->Log("%s 0x%08lX %ld", method, static_cast<unsigned long>(hr), static_cast<long>(value));
    return hr;
}
template <typename T>
HRESULT GetValue(const Counted* self, const char* method, const T& field, T* out) {
    if (!out) return E_POINTER;
    bool forced = false;
    const HRESULT hr = self->Enter(method, &forced);
    if (!forced) *out = field;
    self->Log("%s 0x%08lX %ld", method, static_cast<unsigned long>(hr), static_cast<long>(field));
    return hr;
}
HRESULT PutText(const Counted* self, const char* method, std::wstring& field, BSTR value);
HRESULT GetText(const Counted* self, const char* method, const std::wstring& field, BSTR* out);
// Keeps an interface reference (AddRef'd; the old one released).
template <typename I>
HRESULT PutHeld(const Counted* self, const char* method, I*& field, I* value) {
    bool forced = false;
    const HRESULT hr = self->Enter(method, &forced);
    if (!forced) {
        if (value) value->AddRef();
        if (field) field->Release();
        field = value;
    }
    self->Log("%s 0x%08lX %s", method, static_cast<unsigned long>(hr), value ? "object" : "null");
    return hr;
}
template <typename I>
HRESULT GetHeld(const Counted* self, const char* method, I* field, I** out) {
    if (!out) return E_POINTER;
    bool forced = false;
    HRESULT hr = self->Enter(method, &forced);
    if (!forced) {
        *out = field;
        if (field) field->AddRef();
        else hr = S_FALSE;
    }
    self->Log("%s 0x%08lX %s", method, static_cast<unsigned long>(hr), field ? "object" : "null");
    return hr;
}
template <typename I>
void ReleaseHeld(I*& field) {
    if (field) field->Release();
    field = nullptr;
}
