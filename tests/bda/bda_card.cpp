// The card: a BDA tuner filter (and its twin) and, where the script asks for
// one, a receiver component, each with its BDA topology and control nodes,
// shaped as the script says a driver presents them.
#include "bda_filters.h"

#include "filter_base.h"

namespace {

// One control node as its filter presents it.
struct NodeShape {
    const GUID* Function;
    bool Statistics;
    bool Diseqc;
    bool AlwaysUnlocked;  // a PLL lock that the driver never sets
};

// The DiSEqC settings of a filter: what the driver acts on, and, for a driver
// that applies changes only on commit, what waits for the commit.
struct DiseqcState {
    LONG Enabled = 0;
    LONG Source = -1;
};

class CardFilter;

// A control node of a card filter; the filter lives at least as long.
class NodeDouble final : public IBDA_SignalStatistics, public IBDA_DiseqCommand, public Counted {
public:
    NodeDouble(CardFilter* owner, ULONG type, const NodeShape& shape);
    ~NodeDouble() override;
    DOUBLE_IUNKNOWN
    HRESULT STDMETHODCALLTYPE put_SignalStrength(LONG v) override { return Record("put_SignalStrength", v); }
    HRESULT STDMETHODCALLTYPE get_SignalStrength(LONG* out) override {
        Latency();
        return GetValue(this, "get_SignalStrength", StrengthNow(), out);
    }
    HRESULT STDMETHODCALLTYPE put_SignalQuality(LONG v) override { return Record("put_SignalQuality", v); }
    HRESULT STDMETHODCALLTYPE get_SignalQuality(LONG* out) override {
        Latency();
        return GetValue(this, "get_SignalQuality", SignalNow().Quality, out);
    }
    HRESULT STDMETHODCALLTYPE put_SignalPresent(BOOLEAN v) override { return Record("put_SignalPresent", v); }
    HRESULT STDMETHODCALLTYPE get_SignalPresent(BOOLEAN* out) override {
        Latency();
        return GetValue(this, "get_SignalPresent", static_cast<BOOLEAN>(SignalNow().Present), out);
    }
    HRESULT STDMETHODCALLTYPE put_SignalLocked(BOOLEAN v) override { return Record("put_SignalLocked", v); }
    HRESULT STDMETHODCALLTYPE get_SignalLocked(BOOLEAN* out) override {
        Latency();
        BeginStatisticsRead();
        const BOOLEAN locked = !shape_.AlwaysUnlocked && SignalNow().Locked;
        return GetValue(this, "get_SignalLocked", locked, out);
    }
    HRESULT STDMETHODCALLTYPE put_SampleTime(LONG v) override { return PutValue(this, "put_SampleTime", sampleMs_, v); }
    HRESULT STDMETHODCALLTYPE get_SampleTime(LONG* out) override { return GetValue(this, "get_SampleTime", sampleMs_, out); }
    HRESULT STDMETHODCALLTYPE put_EnableDiseqCommands(BOOLEAN v) override;
    HRESULT STDMETHODCALLTYPE put_DiseqLNBSource(ULONG v) override;
    HRESULT STDMETHODCALLTYPE put_DiseqUseToneBurst(BOOLEAN v) override { return Record("put_DiseqUseToneBurst", v); }
    HRESULT STDMETHODCALLTYPE put_DiseqRepeats(ULONG v) override { return Record("put_DiseqRepeats", static_cast<LONG>(v)); }
    HRESULT STDMETHODCALLTYPE put_DiseqSendCommand(ULONG id, ULONG length, BYTE* command) override;
    HRESULT STDMETHODCALLTYPE get_DiseqResponse(ULONG, ULONG* length, BYTE*) override {
        if (length) *length = 0;
        return Record("get_DiseqResponse", 0);
    }

private:
    void* Find(REFIID iid) override {
        if (IsEqualGUID(iid, IID_IUnknown)) return static_cast<IBDA_SignalStatistics*>(this);
        if (shape_.Statistics && IsEqualGUID(iid, IID_IBDA_SignalStatistics))
            return static_cast<IBDA_SignalStatistics*>(this);
        if (shape_.Diseqc && IsEqualGUID(iid, IID_IBDA_DiseqCommand)) return static_cast<IBDA_DiseqCommand*>(this);
        return nullptr;
    }
    HRESULT Record(const char* method, LONG value) const {
        bool forced = false;
        const HRESULT hr = Enter(method, &forced);
        Log("%s 0x%08lX %ld", method, static_cast<unsigned long>(hr), static_cast<long>(value));
        return hr;
    }

    CardFilter* owner_;
    NodeShape shape_;
    LONG sampleMs_ = 0;
};

// A BDA filter of the card: its topology announces the script's pins and its
// nodes, and only the script's pin pair opens a node.
class CardFilter : public FilterDouble, public IBDA_Topology, public IBDA_DeviceControl {
public:
    CardFilter(const char* kind, const CLSID& clsid, std::vector<NodeShape> nodes)
        : FilterDouble(kind, clsid), nodes_(std::move(nodes)) {}
    DOUBLE_IUNKNOWN
    HRESULT STDMETHODCALLTYPE GetNodeTypes(ULONG* count, ULONG max, ULONG types[]) override;
    HRESULT STDMETHODCALLTYPE GetNodeDescriptors(ULONG* count, ULONG max, BDANODE_DESCRIPTOR nodes[]) override;
    HRESULT STDMETHODCALLTYPE GetNodeInterfaces(ULONG type, ULONG* count, ULONG max, GUID ids[]) override;
    HRESULT STDMETHODCALLTYPE GetPinTypes(ULONG* count, ULONG max, ULONG types[]) override;
    HRESULT STDMETHODCALLTYPE GetTemplateConnections(ULONG* count, ULONG max, BDA_TEMPLATE_CONNECTION links[]) override;
    HRESULT STDMETHODCALLTYPE CreatePin(ULONG, ULONG*) override { return Answer("CreatePin", E_NOTIMPL); }
    HRESULT STDMETHODCALLTYPE DeletePin(ULONG) override { return Answer("DeletePin", E_NOTIMPL); }
    HRESULT STDMETHODCALLTYPE SetMediaType(ULONG, AM_MEDIA_TYPE*) override { return Answer("SetMediaType", E_NOTIMPL); }
    HRESULT STDMETHODCALLTYPE SetMedium(ULONG, REGPINMEDIUM*) override { return Answer("SetMedium", E_NOTIMPL); }
    HRESULT STDMETHODCALLTYPE CreateTopology(ULONG, ULONG) override { return Answer("CreateTopology", S_OK); }
    HRESULT STDMETHODCALLTYPE GetControlNode(ULONG in, ULONG out, ULONG type, IUnknown** node) override;
    HRESULT STDMETHODCALLTYPE StartChanges() override;
    HRESULT STDMETHODCALLTYPE CheckChanges() override { return Answer("CheckChanges", S_OK); }
    HRESULT STDMETHODCALLTYPE CommitChanges() override;
    HRESULT STDMETHODCALLTYPE GetChangeState(ULONG* state) override {
        if (!state) return E_POINTER;
        *state = 0;  // BDA_CHANGES_COMPLETE
        return Answer("GetChangeState", S_OK);
    }

    // A node's DiSEqC put: at once, or at the next commit.
    void SetDiseqc(LONG DiseqcState::*field, LONG value);

    // The transport stream, where the script gives one (stream_source.h).
    ~CardFilter() override { ReleaseStreamFeed(&feed_); }
    void OutputConnected(IPin* receiver) override {
        feed_.Kind = Kind();
        feed_.Id = Id();
        AgreeStreamAllocator(&feed_, receiver);
    }
    void PinDisconnected() override { ReleaseStreamFeed(&feed_); }
    void StateChanged(FILTER_STATE state) override {
        if (state == State_Running) StartStreamFeed(&feed_);
        else if (state == State_Stopped) StopStreamFeed(&feed_);
    }

protected:
    HRESULT Answer(const char* method, HRESULT normal) const {
        bool forced = false;
        HRESULT hr = Enter(method, &forced);
        if (!forced) hr = normal;
        Log("%s 0x%08lX", method, static_cast<unsigned long>(hr));
        return hr;
    }

private:
    void* FindMore(REFIID iid) override {
        if (IsEqualGUID(iid, IID_IBDA_Topology)) return static_cast<IBDA_Topology*>(this);
        if (IsEqualGUID(iid, IID_IBDA_DeviceControl)) return static_cast<IBDA_DeviceControl*>(this);
        return nullptr;
    }
    void Apply(const DiseqcState& state) {
        applied_ = state;
        Log("DISEQC applied enabled %ld source %ld", static_cast<long>(state.Enabled), static_cast<long>(state.Source));
    }

    std::vector<NodeShape> nodes_;
    DiseqcState applied_, pending_;
    StreamFeed feed_;
};

NodeDouble::NodeDouble(CardFilter* owner, ULONG type, const NodeShape& shape)
    : Counted("Node"), owner_(owner), shape_(shape) {
    owner_->AddRef();
    Log("type %lu of %s#%d", type, owner_->Kind(), owner_->Id());
}

NodeDouble::~NodeDouble() { owner_->Release(); }

HRESULT STDMETHODCALLTYPE NodeDouble::put_EnableDiseqCommands(BOOLEAN v) {
    const HRESULT hr = Record("put_EnableDiseqCommands", v);
    if (SUCCEEDED(hr)) owner_->SetDiseqc(&DiseqcState::Enabled, v ? 1 : 0);
    return hr;
}

HRESULT STDMETHODCALLTYPE NodeDouble::put_DiseqLNBSource(ULONG v) {
    const HRESULT hr = Record("put_DiseqLNBSource", static_cast<LONG>(v));
    if (SUCCEEDED(hr)) owner_->SetDiseqc(&DiseqcState::Source, static_cast<LONG>(v));
    return hr;
}

HRESULT NodeDouble::put_DiseqSendCommand(ULONG id, ULONG length, BYTE* command) {
    char bytes[3 * 16 + 1] = "";
    for (ULONG i = 0; command && i < length && i < 16; ++i) wsprintfA(bytes + 3 * i, " %02X", command[i]);
    bool forced = false;
    const HRESULT hr = Enter("put_DiseqSendCommand", &forced);
    Log("put_DiseqSendCommand 0x%08lX %lu%s", static_cast<unsigned long>(hr), id, bytes);
    return hr;
}

void CardFilter::SetDiseqc(LONG DiseqcState::*field, LONG value) {
    pending_.*field = value;
    if (!Script().Card.CommitOnly) Apply(pending_);
}

// A new set of changes: what was put outside one is forgotten.
HRESULT STDMETHODCALLTYPE CardFilter::StartChanges() {
    pending_ = applied_;
    return Answer("StartChanges", S_OK);
}

HRESULT STDMETHODCALLTYPE CardFilter::CommitChanges() {
    const HRESULT hr = Answer("CommitChanges", S_OK);
    if (SUCCEEDED(hr) && Script().Card.CommitOnly) Apply(pending_);
    return hr;
}

// Fills a caller's array as the BDA topology methods do: the count always,
// the items when the array is large enough.
template <typename T, typename Fill>
HRESULT FillList(ULONG* count, ULONG max, T items[], ULONG have, Fill fill) {
    if (!count) return E_POINTER;
    *count = have;
    if (!items || max < have) return max == 0 ? S_OK : E_INVALIDARG;
    for (ULONG i = 0; i < have; ++i) fill(i, items[i]);
    return S_OK;
}

HRESULT CardFilter::GetNodeTypes(ULONG* count, ULONG max, ULONG types[]) {
    const HRESULT hr = FillList(count, max, types, static_cast<ULONG>(nodes_.size()), [](ULONG i, ULONG& t) { t = i; });
    return Answer("GetNodeTypes", hr);
}

HRESULT CardFilter::GetNodeDescriptors(ULONG* count, ULONG max, BDANODE_DESCRIPTOR nodes[]) {
    const HRESULT hr = FillList(count, max, nodes, static_cast<ULONG>(nodes_.size()),
                                [this](ULONG i, BDANODE_DESCRIPTOR& d) {
                                    d.ulBdaNodeType = i;
                                    d.guidFunction = *nodes_[i].Function;
                                    d.guidName = d.guidFunction;
                                });
    return Answer("GetNodeDescriptors", hr);
}

HRESULT CardFilter::GetNodeInterfaces(ULONG type, ULONG* count, ULONG max, GUID ids[]) {
    if (type >= nodes_.size()) return Answer("GetNodeInterfaces", E_INVALIDARG);
    std::vector<GUID> offered;
    if (nodes_[type].Statistics) offered.push_back(IID_IBDA_SignalStatistics);
    if (nodes_[type].Diseqc) offered.push_back(IID_IBDA_DiseqCommand);
    const HRESULT hr = FillList(count, max, ids, static_cast<ULONG>(offered.size()),
                                [&offered](ULONG i, GUID& g) { g = offered[i]; });
    return Answer("GetNodeInterfaces", hr);
}

// Pin types 0 up to the higher of the script's two pins.
HRESULT CardFilter::GetPinTypes(ULONG* count, ULONG max, ULONG types[]) {
    const CardShape& card = Script().Card;
    const ULONG have = (card.PinIn > card.PinOut ? card.PinIn : card.PinOut) + 1;
    const HRESULT hr = FillList(count, max, types, have, [](ULONG i, ULONG& t) { t = i; });
    return Answer("GetPinTypes", hr);
}

// The script's input pin, through the nodes in turn, to its output pin.
HRESULT CardFilter::GetTemplateConnections(ULONG* count, ULONG max, BDA_TEMPLATE_CONNECTION links[]) {
    const CardShape& card = Script().Card;
    const ULONG nodes = static_cast<ULONG>(nodes_.size());
    const HRESULT hr = FillList(count, max, links, nodes + 1, [&card, nodes](ULONG i, BDA_TEMPLATE_CONNECTION& c) {
        c.FromNodeType = i == 0 ? 0xFFFFFFFFu : i - 1;
        c.FromNodePinType = i == 0 ? card.PinIn : 1;
        c.ToNodeType = i == nodes ? 0xFFFFFFFFu : i;
        c.ToNodePinType = i == nodes ? card.PinOut : 0;
    });
    return Answer("GetTemplateConnections", hr);
}

HRESULT CardFilter::GetControlNode(ULONG in, ULONG out, ULONG type, IUnknown** node) {
    if (!node) return E_POINTER;
    *node = nullptr;
    bool forced = false;
    HRESULT hr = Enter("GetControlNode", &forced);
    const CardShape& card = Script().Card;
    if (!forced && (type >= nodes_.size() || in != card.PinIn || out != card.PinOut)) hr = E_INVALIDARG;
    if (!forced && hr == S_OK) {
        NodeDouble* made = new (std::nothrow) NodeDouble(this, type, nodes_[type]);
        hr = made ? S_OK : E_OUTOFMEMORY;
        *node = static_cast<IBDA_SignalStatistics*>(made);
    }
    Log("GetControlNode 0x%08lX %lu %lu %lu", static_cast<unsigned long>(hr), in, out, type);
    return hr;
}

// The tuner's nodes: the RF tuner (DiSEqC too) and the QPSK demodulator; on
// a two-filter card the demodulator is the receiver's.
std::vector<NodeShape> TunerNodes() {
    const CardShape& card = Script().Card;
    const bool statistics = !card.NoStatistics;
    std::vector<NodeShape> nodes = {{&kNodeRfTuner, statistics && !card.Receiver, true, card.RfUnlocked}};
    if (!card.Receiver) nodes.push_back({&kNodeQpskDemodulator, statistics, false, false});
    return nodes;
}

class TunerDouble final : public CardFilter {
public:
    TunerDouble(const char* kind, const CLSID& clsid) : CardFilter(kind, clsid, TunerNodes()) {
        AddPin(L"Input0", PINDIR_INPUT, TypeOf(kAntennaMajorType, GUID_NULL));
        AddPin(L"MPEG2 Transport", PINDIR_OUTPUT, TypeOf(MEDIATYPE_Stream, MEDIASUBTYPE_MPEG2_TRANSPORT));
    }
    // A cold tuner takes no connection before a tune request has reached it.
    HRESULT RefusesConnection() const override {
        return Script().Card.Cold && !TunedYet() ? VFW_E_NO_ACCEPTABLE_TYPES : S_OK;
    }
};

class ReceiverDouble final : public CardFilter {
public:
    ReceiverDouble()
        : CardFilter("Receiver", kBdaDoubleReceiverClassId,
                     {{&kNodeQpskDemodulator, !Script().Card.NoStatistics, false, false}}) {
        AddPin(L"MPEG2 Transport In", PINDIR_INPUT, TypeOf(MEDIATYPE_Stream, MEDIASUBTYPE_MPEG2_TRANSPORT));
        AddPin(L"MPEG2 Transport", PINDIR_OUTPUT, TypeOf(MEDIATYPE_Stream, MEDIASUBTYPE_MPEG2_TRANSPORT));
    }
};

}  // namespace

HRESULT CreateTunerDouble(REFIID iid, void** out) {
    return Hand(new (std::nothrow) TunerDouble("Tuner", kBdaDoubleTunerClassId), iid, out);
}
HRESULT CreateTwinDouble(REFIID iid, void** out) {
    return Hand(new (std::nothrow) TunerDouble("Twin", kBdaDoubleTwinClassId), iid, out);
}
HRESULT CreateReceiverDouble(REFIID iid, void** out) { return Hand(new (std::nothrow) ReceiverDouble(), iid, out); }
