#include "bdatuner/bda_tap.h"

#include <wrl/client.h>

#include <new>

#include "bdatuner/bda_com.h"
#include "bdatuner/bda_log.h"
#include "identity/broadcast_identity.h"

using Microsoft::WRL::ComPtr;

namespace {

// KSDATAFORMAT_SUBTYPE_BDA_MPEG2_TRANSPORT: what BDA capture pins announce
// for their transport stream (MEDIASUBTYPE_MPEG2_TRANSPORT is the other).
const GUID kBdaTransportSubtype = {
    0xF4AEB342, 0x0329, 0x4FDD, {0xA8, 0xFD, 0x4A, 0xFF, 0x49, 0x26, 0xC9, 0x78}};
// The tap's own class id (it is never registered) and its private face.
// {233B1E4A-2300-4206-823E-DE67C6267096}
const GUID kStreamTapClassId = {
    0x233B1E4A, 0x2300, 0x4206, {0x82, 0x3E, 0xDE, 0x67, 0xC6, 0x26, 0x70, 0x96}};
// {848C0AFB-9F39-4918-8992-58EFCE1E7C23}
const GUID kStreamTapInterfaceId = {
    0x848C0AFB, 0x9F39, 0x4918, {0x89, 0x92, 0x58, 0xEF, 0xCE, 0x1E, 0x7C, 0x23}};

struct IStreamTap : public IUnknown {
    virtual void STDMETHODCALLTYPE SetOpen(bool open) = 0;
    virtual void STDMETHODCALLTYPE Read(BroadcastIdentity* identity, ULONGLONG* bytes) = 0;
    virtual StreamTapFailures STDMETHODCALLTYPE TakeFailures() = 0;
};

// Plain (not stride) transport streams only: the reader needs whole 188-byte packets.
bool IsTransportStream(const AM_MEDIA_TYPE* type) {
    return type && IsEqualGUID(type->majortype, MEDIATYPE_Stream) &&
           (IsEqualGUID(type->subtype, MEDIASUBTYPE_MPEG2_TRANSPORT) ||
            IsEqualGUID(type->subtype, kBdaTransportSubtype));
}

void FreeType(AM_MEDIA_TYPE* type) {
    if (type->cbFormat) CoTaskMemFree(type->pbFormat);
    if (type->pUnk) type->pUnk->Release();
    *type = AM_MEDIA_TYPE{};
}

HRESULT CopyType(const AM_MEDIA_TYPE& from, AM_MEDIA_TYPE* to) {
    *to = from;
    to->pbFormat = nullptr;
    if (from.cbFormat) {
        to->pbFormat = static_cast<BYTE*>(CoTaskMemAlloc(from.cbFormat));
        if (!to->pbFormat) {
            *to = AM_MEDIA_TYPE{};
            return E_OUTOFMEMORY;
        }
        CopyMemory(to->pbFormat, from.pbFormat, from.cbFormat);
    }
    if (to->pUnk) to->pUnk->AddRef();
    return S_OK;
}

HRESULT GiveText(const wchar_t* text, LPWSTR* out) {
    if (!out) return E_POINTER;
    const size_t bytes = (lstrlenW(text) + 1) * sizeof(wchar_t);
    *out = static_cast<LPWSTR>(CoTaskMemAlloc(bytes));
    if (!*out) return E_OUTOFMEMORY;
    CopyMemory(*out, text, bytes);
    return S_OK;
}

class StreamTap;

// What the tap's two pins share: they live inside the filter and count its
// references, and tell their direction and name, accept only a transport
// stream and propose none (the card's pin proposes).
template <class Pin, class... Interfaces>
class TapPin : public ComFaces<Pin, Interfaces...> {
public:
    TapPin(IBaseFilter* filter, PIN_DIRECTION direction, const wchar_t* name)
        : filter_(filter), direction_(direction), name_(name) {}
    ULONG STDMETHODCALLTYPE AddRef() override { return filter_->AddRef(); }
    // The filter, and this pin with it, may be gone when this returns.
    ULONG STDMETHODCALLTYPE Release() override { return filter_->Release(); }
    HRESULT STDMETHODCALLTYPE QueryPinInfo(PIN_INFO* info) override {
        if (!info) return E_POINTER;
        info->pFilter = filter_;
        filter_->AddRef();
        info->dir = direction_;
        lstrcpynW(info->achName, name_, MAX_PIN_NAME);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE QueryDirection(PIN_DIRECTION* direction) override {
        if (!direction) return E_POINTER;
        *direction = direction_;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE QueryId(LPWSTR* id) override { return GiveText(name_, id); }
    HRESULT STDMETHODCALLTYPE QueryAccept(const AM_MEDIA_TYPE* type) override {
        return IsTransportStream(type) ? S_OK : S_FALSE;
    }
    HRESULT STDMETHODCALLTYPE EnumMediaTypes(IEnumMediaTypes** types) override {
        if (types) *types = nullptr;
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE QueryInternalConnections(IPin**, ULONG*) override { return E_NOTIMPL; }

private:
    IBaseFilter* filter_;
    PIN_DIRECTION direction_;
    const wchar_t* name_;
};

class TapInput final : public TapPin<TapInput, IPin, IMemInputPin> {
public:
    static const ComFace<TapInput> kFaces[];
    TapInput(StreamTap* owner, IBaseFilter* filter) : TapPin(filter, PINDIR_INPUT, L"In"), owner_(owner) {}
    ~TapInput() { FreeType(&type_); }
    // IPin
    HRESULT STDMETHODCALLTYPE Connect(IPin*, const AM_MEDIA_TYPE*) override { return E_UNEXPECTED; }
    HRESULT STDMETHODCALLTYPE ReceiveConnection(IPin* connector, const AM_MEDIA_TYPE* type) override;
    HRESULT STDMETHODCALLTYPE Disconnect() override;
    HRESULT STDMETHODCALLTYPE ConnectedTo(IPin** pin) override;
    HRESULT STDMETHODCALLTYPE ConnectionMediaType(AM_MEDIA_TYPE* type) override;
    HRESULT STDMETHODCALLTYPE EndOfStream() override;
    HRESULT STDMETHODCALLTYPE BeginFlush() override;
    HRESULT STDMETHODCALLTYPE EndFlush() override;
    HRESULT STDMETHODCALLTYPE NewSegment(REFERENCE_TIME start, REFERENCE_TIME stop, double rate) override;
    // IMemInputPin
    HRESULT STDMETHODCALLTYPE GetAllocator(IMemAllocator** allocator) override {
        if (allocator) *allocator = nullptr;
        return VFW_E_NO_ALLOCATOR;  // the card's pin brings its own
    }
    HRESULT STDMETHODCALLTYPE NotifyAllocator(IMemAllocator* allocator, BOOL readOnly) override;
    HRESULT STDMETHODCALLTYPE GetAllocatorRequirements(ALLOCATOR_PROPERTIES*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Receive(IMediaSample* sample) override;
    HRESULT STDMETHODCALLTYPE ReceiveMultiple(IMediaSample** samples, long count, long* done) override;
    HRESULT STDMETHODCALLTYPE ReceiveCanBlock() override;

private:
    StreamTap* owner_;
    AM_MEDIA_TYPE type_ = {};
    friend class TapOutput;
};

const ComFace<TapInput> TapInput::kFaces[] = {{&IID_IUnknown, AsFace<TapInput, IPin>},
                                              {&IID_IPin, AsFace<TapInput, IPin>},
                                              {&IID_IMemInputPin, AsFace<TapInput, IMemInputPin>},
                                              {}};

class TapOutput final : public TapPin<TapOutput, IPin> {
public:
    static const ComFace<TapOutput> kFaces[];
    TapOutput(StreamTap* owner, IBaseFilter* filter) : TapPin(filter, PINDIR_OUTPUT, L"Out"), owner_(owner) {}
    HRESULT STDMETHODCALLTYPE Connect(IPin* receiver, const AM_MEDIA_TYPE* type) override;
    HRESULT STDMETHODCALLTYPE ReceiveConnection(IPin*, const AM_MEDIA_TYPE*) override { return E_UNEXPECTED; }
    HRESULT STDMETHODCALLTYPE Disconnect() override;
    HRESULT STDMETHODCALLTYPE ConnectedTo(IPin** pin) override;
    HRESULT STDMETHODCALLTYPE ConnectionMediaType(AM_MEDIA_TYPE* type) override;
    HRESULT STDMETHODCALLTYPE EndOfStream() override { return E_UNEXPECTED; }
    HRESULT STDMETHODCALLTYPE BeginFlush() override { return E_UNEXPECTED; }
    HRESULT STDMETHODCALLTYPE EndFlush() override { return E_UNEXPECTED; }
    HRESULT STDMETHODCALLTYPE NewSegment(REFERENCE_TIME, REFERENCE_TIME, double) override { return S_OK; }

private:
    StreamTap* owner_;
};

const ComFace<TapOutput> TapOutput::kFaces[] = {{&IID_IUnknown, AsFace<TapOutput, IPin>},
                                                {&IID_IPin, AsFace<TapOutput, IPin>},
                                                {}};

// EnumPins over the tap's two pins.
class TapPinEnum final : public ComObject<TapPinEnum, IEnumPins> {
public:
    static const ComFace<TapPinEnum> kFaces[];
    TapPinEnum(IBaseFilter* owner, IPin* in, IPin* out, ULONG at) : owner_(owner), at_(at) {
        pins_[0] = in;
        pins_[1] = out;
    }
    HRESULT STDMETHODCALLTYPE Next(ULONG count, IPin** pins, ULONG* fetched) override {
        // Only a caller asking for one pin may leave out the count fetched.
        if (!pins || (count > 1 && !fetched)) return E_POINTER;
        ULONG n = 0;
        for (; n < count && at_ < 2; ++n, ++at_) (pins[n] = pins_[at_])->AddRef();
        if (fetched) *fetched = n;
        return n == count ? S_OK : S_FALSE;
    }
    // S_OK only when every pin asked for was skipped.
    HRESULT STDMETHODCALLTYPE Skip(ULONG count) override {
        const ULONG left = 2 - at_;
        at_ = count < left ? at_ + count : 2;
        return count <= left ? S_OK : S_FALSE;
    }
    HRESULT STDMETHODCALLTYPE Reset() override {
        at_ = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Clone(IEnumPins** out) override {
        return HandOut(new (std::nothrow) TapPinEnum(owner_.Get(), pins_[0], pins_[1], at_), IID_IEnumPins,
                       reinterpret_cast<void**>(out));
    }

private:
    ComPtr<IBaseFilter> owner_;
    IPin* pins_[2];
    ULONG at_;
};

const ComFace<TapPinEnum> TapPinEnum::kFaces[] = {{&IID_IUnknown, AsFace<TapPinEnum, IEnumPins>},
                                                  {&IID_IEnumPins, AsFace<TapPinEnum, IEnumPins>},
                                                  {}};

class StreamTap final : public ComObject<StreamTap, IBaseFilter, IStreamTap> {
public:
    static const ComFace<StreamTap> kFaces[];
    StreamTap() : input_(this, this), output_(this, this), reader_(CreateIdentityReader()) {
        InitializeCriticalSection(&lock_);
        InitializeCriticalSection(&readerLock_);
    }
    ~StreamTap() {
        DeleteCriticalSection(&readerLock_);
        DeleteCriticalSection(&lock_);
    }
    HRESULT STDMETHODCALLTYPE GetClassID(CLSID* id) override {
        if (!id) return E_POINTER;
        *id = kStreamTapClassId;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Stop() override { return SetState(State_Stopped); }
    HRESULT STDMETHODCALLTYPE Pause() override { return SetState(State_Paused); }
    HRESULT STDMETHODCALLTYPE Run(REFERENCE_TIME) override { return SetState(State_Running); }
    HRESULT STDMETHODCALLTYPE GetState(DWORD, FILTER_STATE* state) override {
        if (!state) return E_POINTER;
        *state = static_cast<FILTER_STATE>(InterlockedCompareExchange(&state_, 0, 0));
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE SetSyncSource(IReferenceClock* clock) override {
        EnterCriticalSection(&lock_);
        clock_ = clock;
        LeaveCriticalSection(&lock_);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetSyncSource(IReferenceClock** clock) override {
        if (!clock) return E_POINTER;
        EnterCriticalSection(&lock_);
        *clock = clock_.Get();
        if (*clock) (*clock)->AddRef();
        LeaveCriticalSection(&lock_);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE EnumPins(IEnumPins** pins) override {
        return HandOut(new (std::nothrow) TapPinEnum(this, &input_, &output_, 0), IID_IEnumPins,
                       reinterpret_cast<void**>(pins));
    }
    HRESULT STDMETHODCALLTYPE FindPin(LPCWSTR id, IPin** pin) override {
        if (!pin) return E_POINTER;
        *pin = !id ? nullptr : lstrcmpW(id, L"In") == 0 ? static_cast<IPin*>(&input_)
                             : lstrcmpW(id, L"Out") == 0 ? static_cast<IPin*>(&output_) : nullptr;
        if (!*pin) return VFW_E_NOT_FOUND;
        (*pin)->AddRef();
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE QueryFilterInfo(FILTER_INFO* info) override {
        if (!info) return E_POINTER;
        lstrcpynW(info->achName, L"Zentrik stream tap", MAX_FILTER_NAME);
        info->pGraph = graph_;  // held weakly, as the graph holds the filter
        if (graph_) graph_->AddRef();
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE JoinFilterGraph(IFilterGraph* graph, LPCWSTR) override {
        graph_ = graph;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE QueryVendorInfo(LPWSTR* info) override {
        if (info) *info = nullptr;
        return E_NOTIMPL;
    }
    // IStreamTap
    void STDMETHODCALLTYPE SetOpen(bool open) override {
        EnterCriticalSection(&readerLock_);
        // A closed reader holds nothing: it was emptied as it closed.
        if (open_ && !open) ResetIdentityReader(reader_.get());
        open_ = open;
        LeaveCriticalSection(&readerLock_);
    }
    void STDMETHODCALLTYPE Read(BroadcastIdentity* identity, ULONGLONG* bytes) override {
        EnterCriticalSection(&readerLock_);
        *identity = ReadBroadcastIdentity(*reader_);
        *bytes = bytes_;
        LeaveCriticalSection(&readerLock_);
    }

    // Each kind of failure once, the first of it, for the bridge to log.
    StreamTapFailures STDMETHODCALLTYPE TakeFailures() override {
        return {TakeOnce(&receiveFailure_, &receiveTaken_), TakeOnce(&allocatorFailure_, &allocatorTaken_)};
    }
    // Whether the reader could be made: a tap without one is not handed out.
    bool Whole() const { return reader_ != nullptr; }

    // For the pins. A failure of the demultiplexer behind is only noted here,
    // on the card's delivery thread: logging is for the bridge's own threads.
    void NoteReceiveFailure(HRESULT result) { InterlockedCompareExchange(&receiveFailure_, result, S_OK); }
    void NoteAllocatorFailure(HRESULT result) { InterlockedCompareExchange(&allocatorFailure_, result, S_OK); }
    void Feed(const BYTE* bytes, size_t count) {
        EnterCriticalSection(&readerLock_);
        bytes_ += count;
        if (open_) FeedTransportStream(reader_.get(), bytes, count);
        LeaveCriticalSection(&readerLock_);
    }
    bool Stopped() const { return InterlockedCompareExchange(const_cast<LONG*>(&state_), 0, 0) == State_Stopped; }
    // The receiver has taken the connection: it is kept, and told the card's
    // allocator if there is one yet. Kept only when it takes that.
    HRESULT AttachDownstream(IPin* receiver, IMemInputPin* samples) {
        EnterCriticalSection(&lock_);
        const ComPtr<IMemAllocator> allocator = allocator_;
        LeaveCriticalSection(&lock_);
        const HRESULT result = allocator ? samples->NotifyAllocator(allocator.Get(), TRUE) : S_OK;
        if (FAILED(result)) {
            NoteAllocatorFailure(result);
            return result;
        }
        EnterCriticalSection(&lock_);
        downstream_ = receiver;
        downstreamSamples_ = samples;
        LeaveCriticalSection(&lock_);
        return S_OK;
    }
    // The pin the tap passes the stream on to, and its sample face, if connected.
    void Downstream(ComPtr<IPin>* pin, ComPtr<IMemInputPin>* samples) {
        EnterCriticalSection(&lock_);
        if (pin) *pin = downstream_;
        if (samples) *samples = downstreamSamples_;
        LeaveCriticalSection(&lock_);
    }

    CRITICAL_SECTION lock_;  // guards the connections and the allocator
    TapInput input_;
    TapOutput output_;
    ComPtr<IPin> upstream_, downstream_;
    ComPtr<IMemInputPin> downstreamSamples_;
    ComPtr<IMemAllocator> allocator_;

private:
    HRESULT SetState(FILTER_STATE state) {
        InterlockedExchange(&state_, state);
        return S_OK;
    }
    static HRESULT TakeOnce(LONG* failure, LONG* taken) {
        const HRESULT result = InterlockedCompareExchange(failure, S_OK, S_OK);
        return result != S_OK && InterlockedExchange(taken, 1) == 0 ? result : S_OK;
    }

    LONG state_ = State_Stopped;
    IFilterGraph* graph_ = nullptr;
    ComPtr<IReferenceClock> clock_;
    CRITICAL_SECTION readerLock_;  // guards the reader: fed on the card's thread, read on others
    IdentityReaderPtr reader_;
    bool open_ = false;  // under readerLock_
    ULONGLONG bytes_ = 0;
    LONG receiveFailure_ = S_OK, allocatorFailure_ = S_OK;  // the first of each
    LONG receiveTaken_ = 0, allocatorTaken_ = 0;
};


const ComFace<StreamTap> StreamTap::kFaces[] = {{&IID_IUnknown, AsFace<StreamTap, IBaseFilter>},
                                                 {&IID_IBaseFilter, AsFace<StreamTap, IBaseFilter>},
                                                 {&IID_IMediaFilter, AsFace<StreamTap, IBaseFilter>},
                                                 {&IID_IPersist, AsFace<StreamTap, IBaseFilter>},
                                                 {&kStreamTapInterfaceId, AsFace<StreamTap, IStreamTap>},
                                                 {}};

HRESULT STDMETHODCALLTYPE TapInput::ReceiveConnection(IPin* connector, const AM_MEDIA_TYPE* type) {
    if (!connector || !type) return E_POINTER;
    if (!owner_->Stopped()) return VFW_E_NOT_STOPPED;
    if (!IsTransportStream(type)) return VFW_E_TYPE_NOT_ACCEPTED;
    EnterCriticalSection(&owner_->lock_);
    HRESULT result = owner_->upstream_ ? VFW_E_ALREADY_CONNECTED : CopyType(*type, &type_);
    if (result == S_OK) owner_->upstream_ = connector;
    LeaveCriticalSection(&owner_->lock_);
    return result;
}

HRESULT STDMETHODCALLTYPE TapInput::Disconnect() {
    if (!owner_->Stopped()) return VFW_E_NOT_STOPPED;
    EnterCriticalSection(&owner_->lock_);
    const HRESULT result = owner_->upstream_ ? S_OK : S_FALSE;
    owner_->upstream_.Reset();
    owner_->allocator_.Reset();
    FreeType(&type_);
    LeaveCriticalSection(&owner_->lock_);
    return result;
}

HRESULT STDMETHODCALLTYPE TapInput::ConnectedTo(IPin** pin) {
    if (!pin) return E_POINTER;
    EnterCriticalSection(&owner_->lock_);
    *pin = owner_->upstream_.Get();
    if (*pin) (*pin)->AddRef();
    LeaveCriticalSection(&owner_->lock_);
    return *pin ? S_OK : VFW_E_NOT_CONNECTED;
}

HRESULT STDMETHODCALLTYPE TapInput::ConnectionMediaType(AM_MEDIA_TYPE* type) {
    if (!type) return E_POINTER;
    EnterCriticalSection(&owner_->lock_);
    const HRESULT result = owner_->upstream_ ? CopyType(type_, type) : VFW_E_NOT_CONNECTED;
    LeaveCriticalSection(&owner_->lock_);
    if (result == VFW_E_NOT_CONNECTED) *type = AM_MEDIA_TYPE{};
    return result;
}

HRESULT STDMETHODCALLTYPE TapInput::EndOfStream() {
    ComPtr<IPin> next;
    owner_->Downstream(&next, nullptr);
    return next ? next->EndOfStream() : S_OK;
}
HRESULT STDMETHODCALLTYPE TapInput::BeginFlush() {
    ComPtr<IPin> next;
    owner_->Downstream(&next, nullptr);
    return next ? next->BeginFlush() : S_OK;
}
HRESULT STDMETHODCALLTYPE TapInput::EndFlush() {
    ComPtr<IPin> next;
    owner_->Downstream(&next, nullptr);
    return next ? next->EndFlush() : S_OK;
}
HRESULT STDMETHODCALLTYPE TapInput::NewSegment(REFERENCE_TIME start, REFERENCE_TIME stop, double rate) {
    ComPtr<IPin> next;
    owner_->Downstream(&next, nullptr);
    return next ? next->NewSegment(start, stop, rate) : S_OK;
}

// The demultiplexer behind gets the card's allocator too: the samples pass
// through unchanged, so it must not write to them.
HRESULT STDMETHODCALLTYPE TapInput::NotifyAllocator(IMemAllocator* allocator, BOOL) {
    if (!allocator) return E_POINTER;
    ComPtr<IMemInputPin> next;
    EnterCriticalSection(&owner_->lock_);
    owner_->allocator_ = allocator;
    next = owner_->downstreamSamples_;
    LeaveCriticalSection(&owner_->lock_);
    const HRESULT result = next ? next->NotifyAllocator(allocator, TRUE) : S_OK;
    if (FAILED(result)) owner_->NoteAllocatorFailure(result);
    return S_OK;
}

// Runs on the card's delivery thread: the tables are picked out of the
// sample under the reader's lock, then the sample goes on to the
// demultiplexer. Whatever the demultiplexer answers, the tap keeps the
// stream coming; a failure is noted for the bridge's log.
HRESULT STDMETHODCALLTYPE TapInput::Receive(IMediaSample* sample) {
    if (!sample) return E_POINTER;
    if (owner_->Stopped()) return VFW_E_WRONG_STATE;
    BYTE* bytes = nullptr;
    const long count = sample->GetActualDataLength();
    if (SUCCEEDED(sample->GetPointer(&bytes)) && bytes && count > 0)
        owner_->Feed(bytes, static_cast<size_t>(count));
    ComPtr<IMemInputPin> next;
    owner_->Downstream(nullptr, &next);
    const HRESULT result = next ? next->Receive(sample) : S_OK;
    if (FAILED(result)) owner_->NoteReceiveFailure(result);
    return S_OK;
}

HRESULT STDMETHODCALLTYPE TapInput::ReceiveMultiple(IMediaSample** samples, long count, long* done) {
    if (!samples || !done) return E_POINTER;
    *done = 0;
    HRESULT result = S_OK;
    while (*done < count && (result = Receive(samples[*done])) == S_OK) ++*done;
    return result;
}

HRESULT STDMETHODCALLTYPE TapInput::ReceiveCanBlock() {
    ComPtr<IMemInputPin> next;
    owner_->Downstream(nullptr, &next);
    return next ? next->ReceiveCanBlock() : S_FALSE;
}

// Offers the card's own media type: the tap changes nothing in the stream.
// A receiver that takes no samples (no IMemInputPin), or that refuses the
// card's allocator, is refused: the graph then connects it to the card.
HRESULT STDMETHODCALLTYPE TapOutput::Connect(IPin* receiver, const AM_MEDIA_TYPE* wanted) {
    if (!receiver) return E_POINTER;
    if (!owner_->Stopped()) return VFW_E_NOT_STOPPED;
    ComPtr<IMemInputPin> samples;
    if (FAILED(receiver->QueryInterface(IID_IMemInputPin, reinterpret_cast<void**>(samples.GetAddressOf()))))
        return VFW_E_NO_TRANSPORT;
    if (wanted && !IsEqualGUID(wanted->majortype, GUID_NULL) && !IsTransportStream(wanted))
        return VFW_E_TYPE_NOT_ACCEPTED;
    AM_MEDIA_TYPE type = {};
    EnterCriticalSection(&owner_->lock_);
    HRESULT result = owner_->downstream_ ? VFW_E_ALREADY_CONNECTED
                     : !owner_->upstream_ ? VFW_E_NO_ACCEPTABLE_TYPES
                                          : CopyType(owner_->input_.type_, &type);
    LeaveCriticalSection(&owner_->lock_);
    if (result == S_OK) result = receiver->ReceiveConnection(this, &type);
    FreeType(&type);
    if (FAILED(result)) return result;
    result = owner_->AttachDownstream(receiver, samples.Get());
    if (FAILED(result)) receiver->Disconnect();
    return result;
}

HRESULT STDMETHODCALLTYPE TapOutput::Disconnect() {
    if (!owner_->Stopped()) return VFW_E_NOT_STOPPED;
    EnterCriticalSection(&owner_->lock_);
    const HRESULT result = owner_->downstream_ ? S_OK : S_FALSE;
    owner_->downstream_.Reset();
    owner_->downstreamSamples_.Reset();
    LeaveCriticalSection(&owner_->lock_);
    return result;
}

HRESULT STDMETHODCALLTYPE TapOutput::ConnectedTo(IPin** pin) {
    if (!pin) return E_POINTER;
    ComPtr<IPin> next;
    owner_->Downstream(&next, nullptr);
    *pin = next.Detach();
    return *pin ? S_OK : VFW_E_NOT_CONNECTED;
}

HRESULT STDMETHODCALLTYPE TapOutput::ConnectionMediaType(AM_MEDIA_TYPE* type) {
    if (!type) return E_POINTER;
    EnterCriticalSection(&owner_->lock_);
    const HRESULT result = owner_->downstream_ ? CopyType(owner_->input_.type_, type) : VFW_E_NOT_CONNECTED;
    LeaveCriticalSection(&owner_->lock_);
    if (result == VFW_E_NOT_CONNECTED) *type = AM_MEDIA_TYPE{};
    return result;
}

ComPtr<IStreamTap> TapOf(IBaseFilter* filter) {
    ComPtr<IStreamTap> tap;
    if (filter) filter->QueryInterface(kStreamTapInterfaceId, reinterpret_cast<void**>(tap.GetAddressOf()));
    return tap;
}

ComPtr<IPin> FindPinOf(IBaseFilter* filter, const wchar_t* id) {
    ComPtr<IPin> pin;
    filter->FindPin(id, pin.GetAddressOf());
    return pin;
}

// Tries the card's free output pins in turn, directly, as BDA pins meet: no
// filter that intelligent connection would insert.
bool ConnectCardToTap(IGraphBuilder* graph, IBaseFilter* card, IPin* in) {
    ComPtr<IEnumPins> pins;
    ComPtr<IPin> pin;
    if (!in || FAILED(card->EnumPins(pins.GetAddressOf()))) return false;
    while (pins->Next(1, pin.ReleaseAndGetAddressOf(), nullptr) == S_OK) {
        PIN_DIRECTION direction;
        ComPtr<IPin> peer;
        if (SUCCEEDED(pin->QueryDirection(&direction)) && direction == PINDIR_OUTPUT &&
            pin->ConnectedTo(peer.GetAddressOf()) == VFW_E_NOT_CONNECTED &&
            SUCCEEDED(graph->ConnectDirect(pin.Get(), in, nullptr)))
            return true;
    }
    return false;
}

}  // namespace

HRESULT CreateStreamTap(IBaseFilter** tap) {
    if (!tap) return E_POINTER;
    StreamTap* made = new (std::nothrow) StreamTap;
    if (made && !made->Whole()) {
        made->Release();
        made = nullptr;
    }
    *tap = made;
    return made ? S_OK : E_OUTOFMEMORY;
}

StreamTapFailures TakeStreamTapFailures(IBaseFilter* tap) {
    ComPtr<IStreamTap> face = TapOf(tap);
    return face ? face->TakeFailures() : StreamTapFailures{};
}

void CloseStreamTap(IBaseFilter* tap) {
    if (ComPtr<IStreamTap> face = TapOf(tap)) face->SetOpen(false);
}

void SetStreamTapOpen(IBaseFilter* tap, bool open) {
    ComPtr<IStreamTap> face = TapOf(tap);
    if (!face) return;
    face->SetOpen(open);
    const StreamTapFailures failures = face->TakeFailures();
    if (failures.Receive != S_OK)
        BdaLog("the demultiplexer behind the stream tap refused a sample (%s): the identity is still read, "
               "and the stream goes on", LogResult(failures.Receive).Text);
    if (failures.Allocator != S_OK)
        BdaLog("the demultiplexer behind the stream tap refused the card's allocator (%s)",
               LogResult(failures.Allocator).Text);
}

BroadcastIdentity ReadStreamTap(IBaseFilter* tap) {
    BroadcastIdentity identity;
    ULONGLONG bytes = 0;
    if (ComPtr<IStreamTap> face = TapOf(tap)) face->Read(&identity, &bytes);
    return identity;
}

ULONGLONG StreamTapBytes(IBaseFilter* tap) {
    BroadcastIdentity identity;
    ULONGLONG bytes = 0;
    if (ComPtr<IStreamTap> face = TapOf(tap)) face->Read(&identity, &bytes);
    return bytes;
}

bool InsertStreamTap(IGraphBuilder* graph, IBaseFilter* card, IBaseFilter* tap) {
    if (!tap || FAILED(graph->AddFilter(tap, L"Zentrik stream tap"))) return false;
    if (ConnectCardToTap(graph, card, FindPinOf(tap, L"In").Get())) return true;
    graph->RemoveFilter(tap);
    return false;
}
