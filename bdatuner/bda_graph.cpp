#include "bdatuner/bda_graph.h"

#include "bdatuner/bda_log.h"
#include "bdatuner/bda_tap.h"

namespace {

// Microsoft's network provider for every network type (Windows 7 on), used
// where the DVB-S one is missing or refuses the card.
const GUID kGenericNetworkProvider = {
    0xB2F3A67C, 0x29DA, 0x4C78, {0x88, 0x31, 0x09, 0x1E, 0xD5, 0x09, 0xA4, 0x75}};

// Interface ids of the BDA and tuning-model interfaces are taken from the
// headers' declarations (__uuidof): mingw-w64's libstrmiids carries an
// outdated IID_IBDA_Topology that no driver answers.

constexpr DWORD kStartTimeoutMs = 2000;
constexpr char kNoAcceptedTuner[] = "find a BDA tuner that the network provider accepts";
constexpr char kNoNamedTuner[] =
    "find the tuner named in the Device setting, or the network provider refused it";
constexpr char kAddGenericProvider[] = "add the generic network provider";

// BDA pins meet directly (by medium), never through filters that intelligent
// connection would insert, so only direct connections are tried.
HRESULT ConnectFilters(IGraphBuilder* graph, IBaseFilter* from, IBaseFilter* to) {
    ComPtr<IEnumPins> outputs;
    if (FAILED(from->EnumPins(&outputs))) return E_FAIL;
    HRESULT result = VFW_E_CANNOT_CONNECT;
    ComPtr<IPin> out;
    while (FAILED(result) && outputs->Next(1, &out, nullptr) == S_OK) {
        PIN_DIRECTION direction;
        ComPtr<IPin> peer;
        if (SUCCEEDED(out->QueryDirection(&direction)) && direction == PINDIR_OUTPUT &&
            out->ConnectedTo(&peer) == VFW_E_NOT_CONNECTED) {
            ComPtr<IEnumPins> inputs;
            ComPtr<IPin> in;
            if (SUCCEEDED(to->EnumPins(&inputs))) {
                while (FAILED(result) && inputs->Next(1, &in, nullptr) == S_OK) {
                    if (SUCCEEDED(in->QueryDirection(&direction)) && direction == PINDIR_INPUT)
                        result = graph->ConnectDirect(out.Get(), in.Get(), nullptr);
                }
            }
        }
    }
    return result;
}

// The filter passed by reference: taking a ComPtr's address would release it.
HRESULT AddNewFilter(BdaGraph* graph, REFCLSID id, const wchar_t* name, ComPtr<IBaseFilter>& filter) {
    HRESULT result = CoCreateInstance(id, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter, &filter);
    if (SUCCEEDED(result)) result = graph->Graph->AddFilter(filter.Get(), name);
    return result;
}

void RemoveFilter(BdaGraph* graph, ComPtr<IBaseFilter>& filter) {
    if (filter && graph->Graph) graph->Graph->RemoveFilter(filter.Get());
    filter.Reset();
}

// What the network provider thinks of the request, for the record only: the
// documentation says what Validate answers, not what each provider and
// driver checks, nor that a request it doubts cannot tune. The request goes
// out all the same, and the answer to put_TuneRequest decides, as it did
// before Validate was asked.
void ValidateTuneRequest(BdaGraph* graph, ITuneRequest* request) {
    graph->ValidateResult = graph->ProviderTuner->Validate(request);
    graph->Validated = true;
    BdaLog("Validate: %s%s", LogResult(graph->ValidateResult).Text,
           FAILED(graph->ValidateResult) ? " (the tune request is sent all the same)" : "");
}

// Creates a tune request for the locator, has it validated and submits it;
// the step that failed, if one did.
HRESULT SubmitLocator(BdaGraph* graph, IDVBSLocator* locator, const char** failedStep) {
    ComPtr<ITuneRequest> request;
    HRESULT result = graph->Space->CreateTuneRequest(&request);
    if (SUCCEEDED(result)) result = request->put_Locator(locator);
    if (FAILED(result)) {
        *failedStep = "create the tune request";
        return result;
    }
    ValidateTuneRequest(graph, request.Get());
    *failedStep = "submit the tune request";
    result = graph->ProviderTuner->put_TuneRequest(request.Get());
    if (SUCCEEDED(result)) BdaLog("tune request sent: %s", LogResult(result).Text);
    return result;
}

// A tune request for a locator with nothing set.
HRESULT SendDefaultTuneRequest(BdaGraph* graph) {
    ComPtr<IDVBSLocator> locator;
    const char* step = "create a DVB-S locator";
    HRESULT result = CoCreateInstance(CLSID_DVBSLocator, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&locator));
    if (SUCCEEDED(result)) result = SubmitLocator(graph, locator.Get(), &step);
    if (FAILED(result)) BdaLog("could not %s for the default tune request: %s", step, LogResult(result).Text);
    return result;
}

// Some tuners connect only once a tune request has reached them (a cold
// tuner): then a default request is sent and the connection tried again.
HRESULT ConnectTuner(BdaGraph* graph, IBaseFilter* tuner) {
    HRESULT result = ConnectFilters(graph->Graph.Get(), graph->Provider.Get(), tuner);
    if (SUCCEEDED(result)) return result;
    BdaLog("the tuner does not connect to the network provider (%s): sending a default tune request, "
           "as a cold tuner needs, and connecting again", LogResult(result).Text);
    if (FAILED(result = SendDefaultTuneRequest(graph))) return result;
    if (FAILED(result = ConnectFilters(graph->Graph.Get(), graph->Provider.Get(), tuner))) return result;
    BdaLog("the tuner connected after the default tune request");
    graph->Warmed = true;
    return result;
}

// Adds the moniker's filter and keeps it when `upstream` connects into it.
bool TryDevice(BdaGraph* graph, IMoniker* moniker, const wchar_t* name, IBaseFilter* upstream,
               ComPtr<IBaseFilter>& kept) {
    ComPtr<IBaseFilter> filter;
    HRESULT result = moniker->BindToObject(nullptr, nullptr, IID_IBaseFilter, &filter);
    if (SUCCEEDED(result)) result = graph->Graph->AddFilter(filter.Get(), name);
    if (SUCCEEDED(result))
        result = upstream == graph->Provider.Get() ? ConnectTuner(graph, filter.Get())
                                                   : ConnectFilters(graph->Graph.Get(), upstream, filter.Get());
    if (SUCCEEDED(result)) {
        BdaLog("\"%s\" is in the graph, connected", LogName(name).Text);
        kept = filter;
        return true;
    }
    BdaLog("\"%s\" left out: it could not be made, added or connected (%s)", LogName(name).Text,
           LogResult(result).Text);
    RemoveFilter(graph, filter);
    return false;
}

HRESULT CreateTuningSpace(BdaGraph* graph) {
    HRESULT result = CoCreateInstance(CLSID_DVBSTuningSpace, nullptr, CLSCTX_INPROC_SERVER,
                                      IID_PPV_ARGS(&graph->Space));
    if (FAILED(result)) return FailBdaStep(graph, "create the DVB-S tuning space", result);
    BSTR name = SysAllocString(L"Zentrik DVB-S");
    result = graph->Space->put_UniqueName(name);
    if (SUCCEEDED(result)) result = graph->Space->put_FriendlyName(name);
    SysFreeString(name);
    if (SUCCEEDED(result)) result = graph->Space->put_SystemType(DVB_Satellite);
    // The DVB-S network type, which the generic provider reads from the space too.
    if (SUCCEEDED(result)) result = graph->Space->put__NetworkType(CLSID_DVBSNetworkProvider);
    if (FAILED(result)) return FailBdaStep(graph, "set up the DVB-S tuning space", result);
    return S_OK;
}

HRESULT AddProvider(BdaGraph* graph, bool generic) {
    graph->GenericProvider = generic;
    HRESULT result = generic ? AddNewFilter(graph, kGenericNetworkProvider, L"Network Provider", graph->Provider)
                             : AddNewFilter(graph, CLSID_DVBSNetworkProvider, L"DVB-S Network Provider",
                                            graph->Provider);
    if (FAILED(result))
        return FailBdaStep(graph, generic ? kAddGenericProvider : "add the DVB-S network provider", result);
    result = graph->Provider->QueryInterface(IID_PPV_ARGS(&graph->ProviderTuner));
    if (SUCCEEDED(result)) result = graph->ProviderTuner->put_TuningSpace(graph->Space.Get());
    if (FAILED(result)) return FailBdaStep(graph, "give the tuning space to the network provider", result);
    BdaLog("the %s network provider is in the graph, with the DVB-S tuning space", generic ? "generic" : "DVB-S");
    return S_OK;
}

// Receiver component where the tuner needs one, then the demultiplexer. Both
// are optional: single-filter cards have no receiver, and tuning and the
// signal statistics work without a demultiplexer, which is only there
// because drivers expect their transport stream to go somewhere.
void AddReceiver(BdaGraph* graph) {
    ComPtr<IEnumMoniker> monikers;
    ComPtr<IMoniker> moniker;
    if (EnumerateCategory(kReceiverComponentCategory, &monikers) != S_OK || !monikers) return;
    while (!graph->Receiver && monikers->Next(1, &moniker, nullptr) == S_OK) {
        BdaDeviceId id;
        ReadDeviceId(moniker.Get(), &id);
        if (TryDevice(graph, moniker.Get(), id.Name, graph->Tuner.Get(), graph->Receiver))
            lstrcpynW(graph->ReceiverName, id.Name, kDeviceNameChars);
    }
}

void AddReceiverAndDemux(BdaGraph* graph) {
    AddReceiver(graph);
    IBaseFilter* last = graph->Receiver ? graph->Receiver.Get() : graph->Tuner.Get();
    const bool tapped = InsertStreamTap(graph->Graph.Get(), last, graph->Tap.Get());
    if (!tapped) BdaLog("the card's stream does not reach the stream tap: the satellite's identity stays unknown");
    HRESULT result = AddNewFilter(graph, CLSID_MPEG2Demultiplexer, L"MPEG-2 Demultiplexer", graph->Demux);
    if (SUCCEEDED(result) && tapped) {
        if (SUCCEEDED(ConnectFilters(graph->Graph.Get(), graph->Tap.Get(), graph->Demux.Get()))) {
            BdaLog("the MPEG-2 demultiplexer is in the graph, fed through the stream tap");
            return;
        }
        // A demultiplexer that will not take the stream through the tap gets
        // it from the card, as without one.
        BdaLog("the demultiplexer does not connect behind the stream tap: the tap leaves the graph");
        graph->Graph->RemoveFilter(graph->Tap.Get());
    }
    if (SUCCEEDED(result)) result = ConnectFilters(graph->Graph.Get(), last, graph->Demux.Get());
    if (SUCCEEDED(result)) {
        BdaLog("the MPEG-2 demultiplexer is in the graph, connected");
        return;
    }
    BdaLog("no MPEG-2 demultiplexer (%s): tuning and the signal statistics work without one",
           LogResult(result).Text);
    RemoveFilter(graph, graph->Demux);
}

// Some graph managers (Wine's among them) report a run as done even when a
// filter refused to start; the tuner is asked itself. A tuner another
// program holds fails here.
HRESULT RunGraph(BdaGraph* graph) {
    HRESULT result = S_OK;
    if (!graph->Control)
        result = graph->Graph->QueryInterface(IID_IMediaControl, &graph->Control);
    if (SUCCEEDED(result)) result = graph->Control->Run();
    if (FAILED(result)) return FailBdaStep(graph, "run the graph", result);
    FILTER_STATE state = State_Stopped;
    result = graph->Tuner->GetState(kStartTimeoutMs, &state);
    if (FAILED(result) || result == VFW_S_STATE_INTERMEDIATE || state != State_Running)
        return FailBdaStep(graph, "start the tuner (it did not reach the running state)",
                           FAILED(result) ? result : E_FAIL);
    BdaLog("the graph runs");
    return S_OK;
}

// The tuner and what hangs off it leave the graph, so that the next tuner
// can be tried in the same graph.
void DropTuner(BdaGraph* graph) {
    if (graph->Tuner) BdaLog("the graph stops; the tuner and what follows it leave the graph");
    if (graph->Control) graph->Control->Stop();
    RemoveFilter(graph, graph->Demux);
    if (graph->Tap && graph->Graph) graph->Graph->RemoveFilter(graph->Tap.Get());  // kept for the next tuner
    RemoveFilter(graph, graph->Receiver);
    RemoveFilter(graph, graph->Tuner);
    graph->ReceiverName[0] = 0;
    graph->Warmed = false;
}

// Connects the tuner behind the moniker, completes the graph and runs it:
// S_OK when it runs, S_FALSE when it did not connect, else why it did not run.
HRESULT StartTuner(BdaGraph* graph, IMoniker* moniker, const BdaDeviceId& id) {
    if (!TryDevice(graph, moniker, id.Name, graph->Provider.Get(), graph->Tuner)) return S_FALSE;
    graph->Device = id;
    AddReceiverAndDemux(graph);
    const HRESULT result = RunGraph(graph);
    if (FAILED(result)) {
        BdaLog("tuner \"%s\" will not start (another program may hold it): the next tuner is tried",
               LogName(id.Name).Text);
        DropTuner(graph);
    }
    return result;
}

// Tries the tuners in the category's order (only the wanted ones) until one
// connects and starts: a tuner that is busy or will not start leaves the way
// to the next.
HRESULT AttachTuner(BdaGraph* graph, const wchar_t* wantedDevice) {
    ComPtr<IEnumMoniker> monikers;
    ComPtr<IMoniker> moniker;
    HRESULT result = S_FALSE;
    const HRESULT listed = EnumerateCategory(kNetworkTunerCategory, &monikers);
    if (listed != S_OK || !monikers) {
        BdaLog("no BDA tuner is listed (%s)", LogResult(listed).Text);
    } else {
        while (!graph->Tuner && monikers->Next(1, &moniker, nullptr) == S_OK) {
            BdaDeviceId id;
            ReadDeviceId(moniker.Get(), &id);
            const bool wanted = DeviceWanted(wantedDevice, id);
            BdaLog("tuner \"%s\", device path \"%s\": %s", LogName(id.Name).Text, LogName(id.Path).Text,
                   wanted ? "trying it" : "skipped, the Device setting names another");
            if (wanted) {
                const HRESULT started = StartTuner(graph, moniker.Get(), id);
                if (started != S_FALSE) result = started;  // the last tuner that ran says most
            }
        }
    }
    if (graph->Tuner) return S_OK;
    if (FAILED(result)) return result;
    return FailBdaStep(graph, wantedDevice[0] ? kNoNamedTuner : kNoAcceptedTuner,
                       HRESULT_FROM_WIN32(ERROR_NOT_FOUND));
}

HRESULT AssembleGraph(BdaGraph* graph, const wchar_t* wantedDevice, bool generic) {
    HRESULT result =
        CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER, IID_IGraphBuilder, &graph->Graph);
    if (FAILED(result)) return FailBdaStep(graph, "create the filter graph", result);
    BdaLog("building the graph with the %s network provider", generic ? "generic" : "DVB-S");
    if (FAILED(result = CreateTuningSpace(graph))) return result;
    if (FAILED(result = AddProvider(graph, generic))) return result;
    if (FAILED(result = AttachTuner(graph, wantedDevice))) return result;
    IBaseFilter* const filters[kBdaFilters] = {graph->Tuner.Get(), graph->Receiver.Get()};
    DiscoverTopology(filters, &graph->Topology);
    return S_OK;
}

}  // namespace

HRESULT FailBdaStep(BdaGraph* graph, const char* step, HRESULT result) {
    graph->FailedStep = step;
    graph->FailedResult = FAILED(result) ? result : E_FAIL;
    BdaLog("could not %s: %s", step, LogResult(graph->FailedResult).Text);
    return graph->FailedResult;
}

HRESULT BuildBdaGraph(BdaGraph* graph, const wchar_t* wantedDevice) {
    graph->FailedStep = nullptr;
    graph->FailedResult = S_OK;
    graph->Device = BdaDeviceId{};
    graph->Validated = false;
    if (wantedDevice[0])
        BdaLog("looking for the tuner the Device setting names: \"%s\"", LogName(wantedDevice).Text);
    else
        BdaLog("looking for the first tuner a network provider accepts and that starts");
    HRESULT result = AssembleGraph(graph, wantedDevice, false);
    if (SUCCEEDED(result)) return result;
    TearDownBdaGraph(graph);
    BdaLog("no graph with the DVB-S network provider: trying Microsoft's generic network provider");
    // The DVB-S provider's failure is the one to report when the generic
    // provider is not there either (before Windows 7).
    const char* legacyStep = graph->FailedStep;
    const HRESULT legacyResult = graph->FailedResult;
    const HRESULT generic = AssembleGraph(graph, wantedDevice, true);
    if (SUCCEEDED(generic)) return generic;
    TearDownBdaGraph(graph);
    if (graph->FailedStep != kAddGenericProvider) return generic;
    BdaLog("there is no generic network provider either: what the DVB-S one met is the failure");
    graph->FailedStep = legacyStep;
    graph->FailedResult = legacyResult;
    return legacyResult;
}

// The card's nodes go first; the graph stops before any filter leaves it,
// and the graph itself goes last.
void TearDownBdaGraph(BdaGraph* graph) {
    if (graph->Graph) BdaLog("tearing down the graph");
    ReleaseTopology(&graph->Topology);
    DropTuner(graph);
    graph->Control.Reset();
    graph->ProviderTuner.Reset();
    RemoveFilter(graph, graph->Provider);
    graph->Space.Reset();
    graph->Graph.Reset();
}

HRESULT SendBdaTuneRequest(BdaGraph* graph, IDVBSLocator* locator) {
    const char* step = nullptr;
    const HRESULT result = SubmitLocator(graph, locator, &step);
    return FAILED(result) ? FailBdaStep(graph, step, result) : result;
}
