#include "bdatuner/bda_session.h"

#include <new>

#include "bdatuner/bda_log.h"
#include "bdatuner/bda_signal.h"
#include "bdatuner/bda_tap.h"

namespace {

BdaSession* Of(void* session) { return static_cast<BdaSession*>(session); }

// Under the session's lock: what the graph and the tune request look like now.
void PutGraphFacts(BdaSession* s) {
    BdaProbeReport& r = s->Report;
    r.Device = s->Graph.Device;
    lstrcpynW(r.ReceiverName, s->Graph.ReceiverName, kDeviceNameChars);
    r.HasDemux = s->Graph.Demux.Get() != nullptr;
    r.GenericProvider = s->Graph.GenericProvider;
    r.Warmed = s->Graph.Warmed;
    r.Topology = s->Graph.Topology.Facts;
    r.Tuned = s->Tuned;
    r.Request = s->Request;
    r.Modulation = s->Search;
    r.Validated = s->Graph.Validated;
    r.ValidateResult = s->Graph.ValidateResult;
    r.Unit = s->Judge.Unit;
    r.FailedStep = s->Graph.FailedStep;
    r.FailedResult = s->Graph.FailedResult;
}

void Publish(BdaSession* s, HRESULT result) {
    EnterCriticalSection(&s->Lock);
    s->Result = result;
    PutGraphFacts(s);
    LeaveCriticalSection(&s->Lock);
}

// Sends the request with the modulation the search is at. A driver that
// refuses a request naming one is asked again without, and then left to find
// the modulation itself for the rest of the run.
HRESULT SubmitSearchedTune(BdaSession* s) {
    CloseStreamTap(s->Graph.Tap.Get());  // what comes now is no longer the old transponder's
    s->Request.Modulation = s->Search.Current;
    HRESULT result = SubmitBdaTune(&s->Graph, s->Request);
    if (FAILED(result) && s->Request.Modulation != kBdaNotSet) {
        const char* step = s->Graph.FailedStep;
        BdaLog("the tune request naming %s failed: sending it again without a modulation",
               ModulationName(s->Request.Modulation));
        s->Request.Modulation = kBdaNotSet;
        if (SUCCEEDED(SubmitBdaTune(&s->Graph, s->Request))) {
            BdaLog("the driver took it: it chooses the modulation itself from now on");
            LeaveModulationToDriver(&s->Search);
            s->Graph.FailedStep = nullptr;
            s->Graph.FailedResult = result = S_OK;
        } else {
            BdaLog("failed again: the first failure is the one reported");
            s->Graph.FailedStep = step;
            s->Graph.FailedResult = result;
        }
    }
    s->TunedAtMs = GetTickCount64();
    s->Tuned = SUCCEEDED(result);
    return result;
}

// What changed since the reading before: statistics that start or stop
// answering, a lock found or lost, the strength's unit judged anew. Reads
// come up to 50 times a second: only the changes are worth a line.
void LogReadingChanges(const BdaSession* s, const BdaReading& reading, bool locked, StrengthUnit unitBefore) {
    const BdaProbeReport& before = s->Report;
    if (reading.Answered != before.Answered)
        BdaLog("%s", reading.Answered ? "the signal statistics answer" : "no signal statistics answer: no lock");
    if (locked && !before.Locked) BdaLog("lock found, modulation %s", ModulationName(s->Request.Modulation));
    if (!locked && before.Locked) BdaLog("lock lost");
    if (s->Judge.Unit == unitBefore) return;
    if (unitBefore == StrengthUnit::Unknown)
        BdaLog("the signal strength reads in %s", UnitName(s->Judge.Unit));
    else
        BdaLog("the signal strength reads in %s now, not %s: %ld readings in a row said so",
               UnitName(s->Judge.Unit), UnitName(unitBefore), static_cast<long>(kUnitChangeReadings));
}

// The other modulation, when the one tried has found no lock in its time.
void RetuneJob(void* session) {
    BdaSession* s = Of(session);
    s->RetunePending = false;
    if (s->Built && s->Tuned) Publish(s, SubmitSearchedTune(s));
}

}  // namespace

BdaSession* NewBdaSession() {
    BdaSession* session = new (std::nothrow) BdaSession;
    if (session) InitializeCriticalSection(&session->Lock);
    return session;
}

void DeleteBdaSession(void* session) {
    DeleteCriticalSection(&Of(session)->Lock);
    delete Of(session);
}

void BuildJob(void* session) {
    BdaSession* s = Of(session);
    HRESULT result = S_OK;
    if (!s->Built) {
        wchar_t wanted[kWantedDeviceChars];
        ReadWantedDevice(wanted);
        result = BuildBdaGraph(&s->Graph, wanted);
        s->Built = SUCCEEDED(result);
    }
    Publish(s, result);
}

void TuneJob(void* session) {
    BdaSession* s = Of(session);
    EnterCriticalSection(&s->Lock);
    const BdaTuneSettings settings = s->Settings;
    LeaveCriticalSection(&s->Lock);
    HRESULT result;
    if (!MapTuneSettings(settings, &s->Request)) {
        s->Tuned = false;
        result = FailBdaStep(&s->Graph, "map the transponder (frequency or symbol rate out of range)",
                             E_INVALIDARG);
    } else {
        StartModulationSearch(&s->Search);
        s->RetunePending = false;
        result = SubmitSearchedTune(s);
    }
    Publish(s, result);
}

void ReadJob(void* session) {
    BdaSession* s = Of(session);
    BdaReading reading;
    const ULONGLONG readStartMs = GetTickCount64();
    if (s->Built) ReadBdaSignal(&s->Graph, &reading);
    const StrengthUnit unitBefore = s->Judge.Unit;
    const int32_t level = reading.Answered ? LevelPercent(reading.Readings, reading.Locked, &s->Judge) : 0;
    const bool locked = reading.Answered && reading.Locked;
    LogReadingChanges(s, reading, locked, unitBefore);
    // The stream is read only under a lock found once the latest tune has
    // settled; a lock that goes takes what the stream said with it.
    SetStreamTapOpen(s->Graph.Tap.Get(),
                     StreamTapMayOpen(s->Tuned, locked, static_cast<uint32_t>(readStartMs - s->TunedAtMs)));
    // Reads queued behind a slow one must not switch again before the switch is sent.
    if (s->Tuned && !s->RetunePending &&
        NextModulationDue(&s->Search, locked, static_cast<uint32_t>(GetTickCount64() - s->TunedAtMs))) {
        BdaLog("no lock with %s in %lu ms: the tune request goes again with %s",
               ModulationName(s->Request.Modulation), static_cast<unsigned long>(kModulationDwellMs),
               ModulationName(s->Search.Current));
        s->RetunePending = PostBdaJob(s->Worker, RetuneJob);
    }
    EnterCriticalSection(&s->Lock);
    BdaProbeReport& r = s->Report;
    r.Answered = reading.Answered;
    r.TimedOut = false;
    r.Locked = locked;
    r.Readings = reading.Readings;
    r.LockFrom = reading.LockFrom;
    r.StrengthFrom = reading.StrengthFrom;
    r.QualityFrom = reading.QualityFrom;
    r.Level = level;
    r.StrengthPercent = reading.Answered ? s->Judge.LastStrength : kNoPercent;
    PutGraphFacts(s);
    LeaveCriticalSection(&s->Lock);
}

void TearDownJob(void* session) {
    BdaSession* s = Of(session);
    TearDownBdaGraph(&s->Graph);
    s->Built = false;
    s->Tuned = false;
    Publish(s, S_OK);
}

void CopyBdaReport(BdaSession* session, BdaProbeReport* report) {
    EnterCriticalSection(&session->Lock);
    *report = session->Report;
    LeaveCriticalSection(&session->Lock);
}

HRESULT BdaJobResult(BdaSession* session) {
    EnterCriticalSection(&session->Lock);
    const HRESULT result = session->Result;
    LeaveCriticalSection(&session->Lock);
    return result;
}

void GiveBdaSettings(BdaSession* session, const BdaTuneSettings& settings) {
    EnterCriticalSection(&session->Lock);
    session->Settings = settings;
    LeaveCriticalSection(&session->Lock);
}
