#include "bdatuner/bda_graph.h"

#include <cwchar>

namespace {

// Platform category ids (bdamedia.h in the Windows SDK; mingw-w64 lacks them).
const GUID kNetworkTunerCategory = {
    0x71985F48, 0x1CA1, 0x11D3, {0x9C, 0xC8, 0x00, 0xC0, 0x4F, 0x79, 0x71, 0xE0}};
const GUID kReceiverComponentCategory = {
    0xFD0A5AF4, 0xB41D, 0x11D2, {0x9C, 0x95, 0x00, 0xC0, 0x4F, 0x79, 0x71, 0xE0}};

// Interface ids of the BDA and tuning-model interfaces are taken from the
// headers' declarations (__uuidof): mingw-w64's libstrmiids carries an
// outdated IID_IBDA_Topology that no driver answers.

constexpr wchar_t kSettingsKey[] = L"Software\\Zentrik\\BdaTuner";
constexpr ULONG kMaxNodeTypes = 32;
constexpr DWORD kStartTimeoutMs = 2000;
constexpr int kLongestSettingChars = 2048;

template <class T>
void ReleaseAndClear(T** pointer) {
    if (*pointer) {
        (*pointer)->Release();
        *pointer = nullptr;
    }
}

// Records the failing step; a failure is always negative, whatever the call said.
HRESULT Fail(BdaGraph* graph, const char* step, HRESULT result) {
    graph->FailedStep = step;
    graph->FailedResult = FAILED(result) ? result : E_FAIL;
    return graph->FailedResult;
}

void FriendlyName(IMoniker* moniker, wchar_t name[kDeviceNameChars]) {
    name[0] = 0;
    IPropertyBag* bag = nullptr;
    if (FAILED(moniker->BindToStorage(nullptr, nullptr, IID_IPropertyBag, reinterpret_cast<void**>(&bag))))
        return;
    VARIANT value;
    VariantInit(&value);
    if (SUCCEEDED(bag->Read(L"FriendlyName", &value, nullptr)) && value.vt == VT_BSTR)
        lstrcpynW(name, value.bstrVal, kDeviceNameChars);
    VariantClear(&value);
    bag->Release();
}

// The category's monikers; null (and S_FALSE) when the category is empty.
HRESULT EnumerateCategory(const GUID& category, IEnumMoniker** monikers) {
    *monikers = nullptr;
    ICreateDevEnum* devices = nullptr;
    HRESULT result = CoCreateInstance(CLSID_SystemDeviceEnum, nullptr, CLSCTX_INPROC_SERVER,
                                      IID_ICreateDevEnum, reinterpret_cast<void**>(&devices));
    if (FAILED(result)) return result;
    result = devices->CreateClassEnumerator(category, monikers, 0);
    devices->Release();
    return result;
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

// Adds the moniker's filter and keeps it when `upstream` connects into it.
bool TryDevice(BdaGraph* graph, IMoniker* moniker, const wchar_t* name, IBaseFilter* upstream,
               IBaseFilter** kept) {
    IBaseFilter* filter = nullptr;
    if (FAILED(moniker->BindToObject(nullptr, nullptr, IID_IBaseFilter, reinterpret_cast<void**>(&filter))))
        return false;
    if (SUCCEEDED(graph->Graph->AddFilter(filter, name)) &&
        SUCCEEDED(ConnectFilters(graph->Graph, upstream, filter))) {
        *kept = filter;
        return true;
    }
    RemoveFilter(graph, &filter);
    return false;
}

// The first device of the category that connects after upstream; with a
// wanted name, only that device is tried.
bool AttachDevice(BdaGraph* graph, const GUID& category, const wchar_t* wanted, IBaseFilter* upstream,
                  IBaseFilter** kept, wchar_t name[kDeviceNameChars]) {
    name[0] = 0;
    IEnumMoniker* monikers = nullptr;
    if (EnumerateCategory(category, &monikers) != S_OK || !monikers) return false;
    IMoniker* moniker = nullptr;
    bool found = false;
    while (!found && monikers->Next(1, &moniker, nullptr) == S_OK) {
        FriendlyName(moniker, name);
        if (!wanted[0] || _wcsicmp(wanted, name) == 0)
            found = TryDevice(graph, moniker, name, upstream, kept);
        moniker->Release();
    }
    monikers->Release();
    if (!found) name[0] = 0;
    return found;
}

HRESULT CreateTuningSpace(BdaGraph* graph) {
    HRESULT result = CoCreateInstance(CLSID_DVBSTuningSpace, nullptr, CLSCTX_INPROC_SERVER,
                                      __uuidof(IDVBSTuningSpace), reinterpret_cast<void**>(&graph->Space));
    if (FAILED(result)) return Fail(graph, "create the DVB-S tuning space", result);
    BSTR name = SysAllocString(L"Zentrik DVB-S");
    result = graph->Space->put_UniqueName(name);
    if (SUCCEEDED(result)) result = graph->Space->put_FriendlyName(name);
    SysFreeString(name);
    if (SUCCEEDED(result)) result = graph->Space->put_SystemType(DVB_Satellite);
    if (SUCCEEDED(result)) result = graph->Space->put__NetworkType(CLSID_DVBSNetworkProvider);
    if (FAILED(result)) return Fail(graph, "set up the DVB-S tuning space", result);
    return S_OK;
}

HRESULT AddProvider(BdaGraph* graph) {
    HRESULT result =
        AddNewFilter(graph, CLSID_DVBSNetworkProvider, L"DVB-S Network Provider", &graph->Provider);
    if (FAILED(result)) return Fail(graph, "add the DVB-S network provider", result);
    result =
        graph->Provider->QueryInterface(__uuidof(ITuner), reinterpret_cast<void**>(&graph->ProviderTuner));
    if (SUCCEEDED(result)) result = graph->ProviderTuner->put_TuningSpace(graph->Space);
    if (FAILED(result)) return Fail(graph, "give the tuning space to the network provider", result);
    return S_OK;
}

// Receiver component where the tuner needs one, then the demultiplexer. Both
// are optional: single-filter cards have no receiver, and tuning and the
// signal statistics work without a demultiplexer, which is only there
// because drivers expect their transport stream to go somewhere.
void AddReceiverAndDemux(BdaGraph* graph) {
    AttachDevice(graph, kReceiverComponentCategory, L"", graph->Tuner, &graph->Receiver, graph->ReceiverName);
    IBaseFilter* last = graph->Receiver ? graph->Receiver : graph->Tuner;
    if (FAILED(AddNewFilter(graph, CLSID_MPEG2Demultiplexer, L"MPEG-2 Demultiplexer", &graph->Demux)) ||
        FAILED(ConnectFilters(graph->Graph, last, graph->Demux)))
        RemoveFilter(graph, &graph->Demux);
}

// Some graph managers (Wine's among them) report a run as done even when a
// filter refused to start; the tuner is asked itself.
HRESULT CheckTunerRunning(BdaGraph* graph) {
    FILTER_STATE state = State_Stopped;
    const HRESULT result = graph->Tuner->GetState(kStartTimeoutMs, &state);
    if (FAILED(result) || result == VFW_S_STATE_INTERMEDIATE || state != State_Running)
        return Fail(graph, "start the tuner (it did not reach the running state)",
                    FAILED(result) ? result : E_FAIL);
    return S_OK;
}

constexpr char kNoAcceptedTuner[] = "find a BDA tuner that the DVB-S network provider accepts";
constexpr char kNoNamedTuner[] =
    "find the tuner named in the Device setting, or the DVB-S network provider refused it";

HRESULT AssembleGraph(BdaGraph* graph, const wchar_t* wantedDevice) {
    HRESULT result = CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER, IID_IGraphBuilder,
                                      reinterpret_cast<void**>(&graph->Graph));
    if (FAILED(result)) return Fail(graph, "create the filter graph", result);
    if (FAILED(result = CreateTuningSpace(graph))) return result;
    if (FAILED(result = AddProvider(graph))) return result;
    if (!AttachDevice(graph, kNetworkTunerCategory, wantedDevice, graph->Provider, &graph->Tuner,
                      graph->DeviceName)) {
        const char* step = wantedDevice[0] ? kNoNamedTuner : kNoAcceptedTuner;
        return Fail(graph, step, HRESULT_FROM_WIN32(ERROR_NOT_FOUND));
    }
    AddReceiverAndDemux(graph);
    result = graph->Graph->QueryInterface(IID_IMediaControl, reinterpret_cast<void**>(&graph->Control));
    if (SUCCEEDED(result)) result = graph->Control->Run();
    if (FAILED(result)) return Fail(graph, "run the graph", result);
    return CheckTunerRunning(graph);
}

// The tuner's statistics interfaces, one per control node that has one.
ULONG CollectNodes(IBaseFilter* tuner, REFIID iid, IUnknown* nodes[kMaxNodeTypes]) {
    IBDA_Topology* topology = nullptr;
    if (!tuner || FAILED(tuner->QueryInterface(__uuidof(IBDA_Topology), reinterpret_cast<void**>(&topology))))
        return 0;
    ULONG types[kMaxNodeTypes];
    ULONG typeCount = 0, found = 0;
    if (FAILED(topology->GetNodeTypes(&typeCount, kMaxNodeTypes, types))) typeCount = 0;
    if (typeCount > kMaxNodeTypes) typeCount = kMaxNodeTypes;
    for (ULONG i = 0; i < typeCount; ++i) {
        IUnknown* node = nullptr;
        if (FAILED(topology->GetControlNode(0, 1, types[i], &node)) || !node) continue;
        if (SUCCEEDED(node->QueryInterface(iid, reinterpret_cast<void**>(&nodes[found])))) ++found;
        node->Release();
    }
    topology->Release();
    return found;
}

void ReleaseNodes(IUnknown* nodes[], ULONG count) {
    for (ULONG i = 0; i < count; ++i) nodes[i]->Release();
}

HRESULT FillLocator(IDVBSLocator* locator, const BdaTuneRequest& request) {
    HRESULT result = locator->put_CarrierFrequency(request.CarrierKhz);
    if (SUCCEEDED(result)) result = locator->put_SymbolRate(request.SymbolRate);
    if (SUCCEEDED(result))
        result = locator->put_SignalPolarisation(static_cast<Polarisation>(request.Polarisation));
    if (SUCCEEDED(result)) result = locator->put_Modulation(static_cast<ModulationType>(request.Modulation));
    if (SUCCEEDED(result)) result = locator->put_InnerFEC(BDA_FEC_METHOD_NOT_SET);
    if (SUCCEEDED(result))
        result = locator->put_InnerFECRate(static_cast<BinaryConvolutionCodeRate>(request.InnerFecRate));
    return result;
}

HRESULT SetLnb(IDVBSTuningSpace* space, const BdaTuneRequest& request) {
    HRESULT result = space->put_LowOscillator(request.LowOscillatorKhz);
    if (SUCCEEDED(result)) result = space->put_HighOscillator(request.HighOscillatorKhz);
    if (SUCCEEDED(result)) result = space->put_LNBSwitch(request.SwitchKhz);
    return result;
}

// The driver's own DiSEqC control where it has one, else the locator's LNB
// source, which the network provider passes on.
HRESULT SelectLnbSource(BdaGraph* graph, IDVBSLocator* locator, int32_t source) {
    if (source == 0) return S_OK;
    IUnknown* nodes[kMaxNodeTypes];
    const ULONG count = CollectNodes(graph->Tuner, __uuidof(IBDA_DiseqCommand), nodes);
    HRESULT result;
    if (count > 0) {
        IBDA_DiseqCommand* command = static_cast<IBDA_DiseqCommand*>(nodes[0]);
        result = command->put_EnableDiseqCommands(TRUE);
        if (SUCCEEDED(result)) result = command->put_DiseqLNBSource(static_cast<ULONG>(source));
        ReleaseNodes(nodes, count);
        return result;
    }
    IDVBSLocator2* locator2 = nullptr;
    result = locator->QueryInterface(__uuidof(IDVBSLocator2), reinterpret_cast<void**>(&locator2));
    if (FAILED(result)) return result;
    result = locator2->put_DiseqLNBSource(static_cast<LNB_Source>(source));
    locator2->Release();
    return result;
}

HRESULT SendTuneRequest(BdaGraph* graph, IDVBSLocator* locator) {
    ITuneRequest* request = nullptr;
    HRESULT result = graph->Space->CreateTuneRequest(&request);
    if (SUCCEEDED(result)) result = request->put_Locator(locator);
    if (FAILED(result)) {
        if (request) request->Release();
        return Fail(graph, "create the tune request", result);
    }
    result = graph->ProviderTuner->put_TuneRequest(request);
    request->Release();
    return FAILED(result) ? Fail(graph, "submit the tune request", result) : result;
}

}  // namespace

HRESULT ListBdaTuners(BdaTunerVisitor visit, void* context) {
    IEnumMoniker* monikers = nullptr;
    const HRESULT result = EnumerateCategory(kNetworkTunerCategory, &monikers);
    if (FAILED(result)) return result;
    int count = 0;
    IMoniker* moniker = nullptr;
    while (monikers && monikers->Next(1, &moniker, nullptr) == S_OK) {
        wchar_t name[kDeviceNameChars];
        FriendlyName(moniker, name);
        visit(count++, name, context);
        moniker->Release();
    }
    if (monikers) monikers->Release();
    return count;
}

void ReadWantedDevice(wchar_t name[kDeviceNameChars]) {
    // Read whole, then cut like the friendly names are cut, so that a long
    // name still matches only its own device.
    wchar_t value[kLongestSettingChars];
    DWORD size = sizeof value;
    if (RegGetValueW(HKEY_CURRENT_USER, kSettingsKey, L"Device", RRF_RT_REG_SZ, nullptr, value, &size) !=
        ERROR_SUCCESS)
        value[0] = 0;
    lstrcpynW(name, value, kDeviceNameChars);
}

HRESULT BuildBdaGraph(BdaGraph* graph, const wchar_t* wantedDevice) {
    graph->FailedStep = nullptr;
    graph->FailedResult = S_OK;
    const HRESULT result = AssembleGraph(graph, wantedDevice);
    if (FAILED(result)) TearDownBdaGraph(graph);
    return result;
}

void TearDownBdaGraph(BdaGraph* graph) {
    if (graph->Control) graph->Control->Stop();
    ReleaseAndClear(&graph->Control);
    ReleaseAndClear(&graph->ProviderTuner);
    RemoveFilter(graph, &graph->Demux);
    RemoveFilter(graph, &graph->Receiver);
    RemoveFilter(graph, &graph->Tuner);
    RemoveFilter(graph, &graph->Provider);
    ReleaseAndClear(&graph->Space);
    ReleaseAndClear(&graph->Graph);
}

HRESULT SubmitBdaTune(BdaGraph* graph, const BdaTuneRequest& request) {
    if (!graph->ProviderTuner) return Fail(graph, "tune (the tuner is not initialised)", E_UNEXPECTED);
    IDVBSLocator* locator = nullptr;
    HRESULT result = CoCreateInstance(CLSID_DVBSLocator, nullptr, CLSCTX_INPROC_SERVER,
                                      __uuidof(IDVBSLocator), reinterpret_cast<void**>(&locator));
    if (FAILED(result)) return Fail(graph, "create the DVB-S locator", result);
    const char* step = "fill in the DVB-S locator";
    result = FillLocator(locator, request);
    if (SUCCEEDED(result)) {
        step = "set the LNB oscillators on the tuning space";
        result = SetLnb(graph->Space, request);
    }
    if (SUCCEEDED(result)) {
        step = "select the DiSEqC switch port";
        result = SelectLnbSource(graph, locator, request.LnbSource);
    }
    result = FAILED(result) ? Fail(graph, step, result) : SendTuneRequest(graph, locator);
    locator->Release();
    return result;
}

HRESULT ReadBdaSignal(BdaGraph* graph, bool* locked, SignalReadings* readings) {
    *locked = false;
    *readings = SignalReadings{};
    IUnknown* nodes[kMaxNodeTypes];
    const ULONG count = CollectNodes(graph->Tuner, __uuidof(IBDA_SignalStatistics), nodes);
    bool answered = false;
    for (ULONG i = 0; i < count; ++i) {
        IBDA_SignalStatistics* statistics = static_cast<IBDA_SignalStatistics*>(nodes[i]);
        BOOLEAN flag = FALSE;
        LONG value = 0;
        if (!answered && SUCCEEDED(statistics->get_SignalLocked(&flag))) {
            answered = true;
            *locked = flag != FALSE;
        }
        if (!readings->HasStrength && SUCCEEDED(statistics->get_SignalStrength(&value))) {
            readings->HasStrength = true;
            readings->Strength = value;
        }
        if (!readings->HasQuality && SUCCEEDED(statistics->get_SignalQuality(&value))) {
            readings->HasQuality = true;
            readings->Quality = value;
        }
    }
    ReleaseNodes(nodes, count);
    return answered ? S_OK : E_FAIL;
}
