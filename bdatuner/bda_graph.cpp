#include "bdatuner/bda_graph.h"

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

template <class T>
void ReleaseAndClear(T** pointer) {
    if (*pointer) {
        (*pointer)->Release();
        *pointer = nullptr;
    }
}

// BDA pins meet directly (by medium), never through filters that intelligent
// connection would insert, so only direct connections are tried.
HRESULT ConnectFilters(IGraphBuilder* graph, IBaseFilter* from, IBaseFilter* to) {
    IEnumPins* outputs = nullptr;
    if (FAILED(from->EnumPins(&outputs))) return E_FAIL;
    HRESULT result = VFW_E_CANNOT_CONNECT;
    IPin* out = nullptr;
    while (FAILED(result) && outputs->Next(1, &out, nullptr) == S_OK) {
        PIN_DIRECTION direction;
        IPin* peer = nullptr;
        if (SUCCEEDED(out->QueryDirection(&direction)) && direction == PINDIR_OUTPUT &&
            out->ConnectedTo(&peer) == VFW_E_NOT_CONNECTED) {
            IEnumPins* inputs = nullptr;
            IPin* in = nullptr;
            if (SUCCEEDED(to->EnumPins(&inputs))) {
                while (FAILED(result) && inputs->Next(1, &in, nullptr) == S_OK) {
                    if (SUCCEEDED(in->QueryDirection(&direction)) && direction == PINDIR_INPUT)
                        result = graph->ConnectDirect(out, in, nullptr);
                    in->Release();
                }
                inputs->Release();
            }
        }
        if (peer) peer->Release();
        out->Release();
    }
    outputs->Release();
    return result;
}

HRESULT AddNewFilter(BdaGraph* graph, REFCLSID id, const wchar_t* name, IBaseFilter** filter) {
    HRESULT result = CoCreateInstance(id, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter,
                                      reinterpret_cast<void**>(filter));
    if (SUCCEEDED(result)) result = graph->Graph->AddFilter(*filter, name);
    return result;
}

void RemoveFilter(BdaGraph* graph, IBaseFilter** filter) {
    if (*filter && graph->Graph) graph->Graph->RemoveFilter(*filter);
    ReleaseAndClear(filter);
}

// Creates a tune request for the locator and submits it; the step that
// failed, if one did.
HRESULT SubmitLocator(BdaGraph* graph, IDVBSLocator* locator, const char** failedStep) {
    ITuneRequest* request = nullptr;
    HRESULT result = graph->Space->CreateTuneRequest(&request);
    if (SUCCEEDED(result)) result = request->put_Locator(locator);
    if (FAILED(result)) {
        if (request) request->Release();
        *failedStep = "create the tune request";
        return result;
    }
    result = graph->ProviderTuner->put_TuneRequest(request);
    request->Release();
    *failedStep = "submit the tune request";
    return result;
}

// Some tuners connect only once a tune request has reached them (a cold
// tuner): then a default request is sent and the connection tried again.
bool ConnectTuner(BdaGraph* graph, IBaseFilter* tuner) {
    if (SUCCEEDED(ConnectFilters(graph->Graph, graph->Provider, tuner))) return true;
    IDVBSLocator* locator = nullptr;
    if (FAILED(CoCreateInstance(CLSID_DVBSLocator, nullptr, CLSCTX_INPROC_SERVER, __uuidof(IDVBSLocator),
                                reinterpret_cast<void**>(&locator))))
        return false;
    const char* step = nullptr;
    const bool sent = SUCCEEDED(SubmitLocator(graph, locator, &step));
    locator->Release();
    if (!sent || FAILED(ConnectFilters(graph->Graph, graph->Provider, tuner))) return false;
    graph->Warmed = true;
    return true;
}

// Adds the moniker's filter and keeps it when `upstream` connects into it.
bool TryDevice(BdaGraph* graph, IMoniker* moniker, const wchar_t* name, IBaseFilter* upstream,
               IBaseFilter** kept) {
    IBaseFilter* filter = nullptr;
    if (FAILED(moniker->BindToObject(nullptr, nullptr, IID_IBaseFilter, reinterpret_cast<void**>(&filter))))
        return false;
    const bool connected = SUCCEEDED(graph->Graph->AddFilter(filter, name)) &&
                           (upstream == graph->Provider ? ConnectTuner(graph, filter)
                                                        : SUCCEEDED(ConnectFilters(graph->Graph, upstream, filter)));
    if (connected) {
        *kept = filter;
        return true;
    }
    RemoveFilter(graph, &filter);
    return false;
}

HRESULT CreateTuningSpace(BdaGraph* graph) {
    HRESULT result = CoCreateInstance(CLSID_DVBSTuningSpace, nullptr, CLSCTX_INPROC_SERVER,
                                      __uuidof(IDVBSTuningSpace), reinterpret_cast<void**>(&graph->Space));
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
    HRESULT result = generic ? AddNewFilter(graph, kGenericNetworkProvider, L"Network Provider", &graph->Provider)
                             : AddNewFilter(graph, CLSID_DVBSNetworkProvider, L"DVB-S Network Provider",
                                            &graph->Provider);
    if (FAILED(result))
        return FailBdaStep(graph, generic ? kAddGenericProvider : "add the DVB-S network provider", result);
    result =
        graph->Provider->QueryInterface(__uuidof(ITuner), reinterpret_cast<void**>(&graph->ProviderTuner));
    if (SUCCEEDED(result)) result = graph->ProviderTuner->put_TuningSpace(graph->Space);
    if (FAILED(result)) return FailBdaStep(graph, "give the tuning space to the network provider", result);
    return S_OK;
}

// Receiver component where the tuner needs one, then the demultiplexer. Both
// are optional: single-filter cards have no receiver, and tuning and the
// signal statistics work without a demultiplexer, which is only there
// because drivers expect their transport stream to go somewhere.
void AddReceiverAndDemux(BdaGraph* graph) {
    IEnumMoniker* monikers = nullptr;
    IMoniker* moniker = nullptr;
    if (EnumerateCategory(kReceiverComponentCategory, &monikers) == S_OK && monikers) {
        while (!graph->Receiver && monikers->Next(1, &moniker, nullptr) == S_OK) {
            BdaDeviceId id;
            ReadDeviceId(moniker, &id);
            if (TryDevice(graph, moniker, id.Name, graph->Tuner, &graph->Receiver))
                lstrcpynW(graph->ReceiverName, id.Name, kDeviceNameChars);
            moniker->Release();
        }
        monikers->Release();
    }
    IBaseFilter* last = graph->Receiver ? graph->Receiver : graph->Tuner;
    const bool tapped = InsertStreamTap(graph->Graph, last, graph->Tap.Get());
    if (FAILED(AddNewFilter(graph, CLSID_MPEG2Demultiplexer, L"MPEG-2 Demultiplexer", &graph->Demux))) {
        RemoveFilter(graph, &graph->Demux);
        return;
    }
    if (tapped && SUCCEEDED(ConnectFilters(graph->Graph, graph->Tap.Get(), graph->Demux))) return;
    // A demultiplexer that will not take the stream through the tap gets it
    // from the card, as without one.
    if (tapped) graph->Graph->RemoveFilter(graph->Tap.Get());
    if (FAILED(ConnectFilters(graph->Graph, last, graph->Demux))) RemoveFilter(graph, &graph->Demux);
}

// Some graph managers (Wine's among them) report a run as done even when a
// filter refused to start; the tuner is asked itself. A tuner another
// program holds fails here.
HRESULT RunGraph(BdaGraph* graph) {
    HRESULT result = S_OK;
    if (!graph->Control)
        result = graph->Graph->QueryInterface(IID_IMediaControl, reinterpret_cast<void**>(&graph->Control));
    if (SUCCEEDED(result)) result = graph->Control->Run();
    if (FAILED(result)) return FailBdaStep(graph, "run the graph", result);
    FILTER_STATE state = State_Stopped;
    result = graph->Tuner->GetState(kStartTimeoutMs, &state);
    if (FAILED(result) || result == VFW_S_STATE_INTERMEDIATE || state != State_Running)
        return FailBdaStep(graph, "start the tuner (it did not reach the running state)",
                           FAILED(result) ? result : E_FAIL);
    return S_OK;
}

// The tuner and what hangs off it leave the graph, so that the next tuner
// can be tried in the same graph.
void DropTuner(BdaGraph* graph) {
    if (graph->Control) graph->Control->Stop();
    RemoveFilter(graph, &graph->Demux);
    if (graph->Tap && graph->Graph) graph->Graph->RemoveFilter(graph->Tap.Get());  // kept for the next tuner
    RemoveFilter(graph, &graph->Receiver);
    RemoveFilter(graph, &graph->Tuner);
    graph->ReceiverName[0] = 0;
    graph->Warmed = false;
}

// Connects the tuner behind the moniker, completes the graph and runs it:
// S_OK when it runs, S_FALSE when it did not connect, else why it did not run.
HRESULT StartTuner(BdaGraph* graph, IMoniker* moniker, const BdaDeviceId& id) {
    if (!TryDevice(graph, moniker, id.Name, graph->Provider, &graph->Tuner)) return S_FALSE;
    graph->Device = id;
    AddReceiverAndDemux(graph);
    const HRESULT result = RunGraph(graph);
    if (FAILED(result)) DropTuner(graph);
    return result;
}

// Tries the tuners in the category's order (only the wanted ones) until one
// connects and starts: a tuner that is busy or will not start leaves the way
// to the next.
HRESULT AttachTuner(BdaGraph* graph, const wchar_t* wantedDevice) {
    IEnumMoniker* monikers = nullptr;
    IMoniker* moniker = nullptr;
    HRESULT result = S_FALSE;
    if (EnumerateCategory(kNetworkTunerCategory, &monikers) == S_OK && monikers) {
        while (!graph->Tuner && monikers->Next(1, &moniker, nullptr) == S_OK) {
            BdaDeviceId id;
            ReadDeviceId(moniker, &id);
            if (DeviceWanted(wantedDevice, id)) {
                const HRESULT started = StartTuner(graph, moniker, id);
                if (started != S_FALSE) result = started;  // the last tuner that ran says most
            }
            moniker->Release();
        }
        monikers->Release();
    }
    if (graph->Tuner) return S_OK;
    if (FAILED(result)) return result;
    return FailBdaStep(graph, wantedDevice[0] ? kNoNamedTuner : kNoAcceptedTuner,
                       HRESULT_FROM_WIN32(ERROR_NOT_FOUND));
}

HRESULT AssembleGraph(BdaGraph* graph, const wchar_t* wantedDevice, bool generic) {
    HRESULT result = CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER, IID_IGraphBuilder,
                                      reinterpret_cast<void**>(&graph->Graph));
    if (FAILED(result)) return FailBdaStep(graph, "create the filter graph", result);
    if (FAILED(result = CreateTuningSpace(graph))) return result;
    if (FAILED(result = AddProvider(graph, generic))) return result;
    if (FAILED(result = AttachTuner(graph, wantedDevice))) return result;
    IBaseFilter* const filters[kBdaFilters] = {graph->Tuner, graph->Receiver};
    DiscoverTopology(filters, &graph->Topology);
    return S_OK;
}

}  // namespace

HRESULT FailBdaStep(BdaGraph* graph, const char* step, HRESULT result) {
    graph->FailedStep = step;
    graph->FailedResult = FAILED(result) ? result : E_FAIL;
    return graph->FailedResult;
}

HRESULT BuildBdaGraph(BdaGraph* graph, const wchar_t* wantedDevice) {
    graph->FailedStep = nullptr;
    graph->FailedResult = S_OK;
    graph->Device = BdaDeviceId{};
    HRESULT result = AssembleGraph(graph, wantedDevice, false);
    if (SUCCEEDED(result)) return result;
    TearDownBdaGraph(graph);
    // The DVB-S provider's failure is the one to report when the generic
    // provider is not there either (before Windows 7).
    const char* legacyStep = graph->FailedStep;
    const HRESULT legacyResult = graph->FailedResult;
    const HRESULT generic = AssembleGraph(graph, wantedDevice, true);
    if (SUCCEEDED(generic)) return generic;
    TearDownBdaGraph(graph);
    if (graph->FailedStep == kAddGenericProvider) return FailBdaStep(graph, legacyStep, legacyResult);
    return generic;
}

void TearDownBdaGraph(BdaGraph* graph) {
    ReleaseTopology(&graph->Topology);
    DropTuner(graph);
    ReleaseAndClear(&graph->Control);
    ReleaseAndClear(&graph->ProviderTuner);
    RemoveFilter(graph, &graph->Provider);
    ReleaseAndClear(&graph->Space);
    ReleaseAndClear(&graph->Graph);
}

HRESULT SendBdaTuneRequest(BdaGraph* graph, IDVBSLocator* locator) {
    const char* step = nullptr;
    const HRESULT result = SubmitLocator(graph, locator, &step);
    return FAILED(result) ? FailBdaStep(graph, step, result) : result;
}
