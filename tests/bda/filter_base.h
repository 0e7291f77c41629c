// The filter, pin and enumerator doubles the BDA filter doubles are built on.
// They connect and change state as DirectShow describes; no sample ever flows.
#pragma once
#include <strmif.h>
#include <uuids.h>
#include <vfwmsgs.h>

#include <new>
#include <string>
#include <vector>

#include "doubles_core.h"


inline AM_MEDIA_TYPE TypeOf(const GUID& major, const GUID& subtype) {
    AM_MEDIA_TYPE type = {};
    type.majortype = major;
    type.subtype = subtype;
    type.formattype = FORMAT_None;
    type.bFixedSizeSamples = TRUE;
    type.lSampleSize = 1;
    return type;
}

// A copy without the format block or its owner: no double uses either.
inline AM_MEDIA_TYPE Bare(const AM_MEDIA_TYPE& from) {
    AM_MEDIA_TYPE type = from;
    type.cbFormat = 0;
    type.pbFormat = nullptr;
    type.pUnk = nullptr;
    return type;
}

class FilterDouble;

// A pin lives inside its filter and shares the filter's reference count.
class PinDouble final : public IPin, public IMemInputPin {
public:
    PinDouble(FilterDouble* owner, const wchar_t* name, PIN_DIRECTION direction, const AM_MEDIA_TYPE& offered)
        : owner_(owner), name_(name), direction_(direction), offered_(offered) {}
    ~PinDouble() { ReleaseHeld(peer_); }

    // IMemInputPin only on the input pins of a filter that takes samples.
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;
    HRESULT STDMETHODCALLTYPE Connect(IPin* receiver, const AM_MEDIA_TYPE* type) override;
    HRESULT STDMETHODCALLTYPE ReceiveConnection(IPin* connector, const AM_MEDIA_TYPE* type) override;
    HRESULT STDMETHODCALLTYPE Disconnect() override;
    HRESULT STDMETHODCALLTYPE ConnectedTo(IPin** out) override {
        if (!out) return E_POINTER;
        *out = peer_;
        if (!peer_) return VFW_E_NOT_CONNECTED;
        peer_->AddRef();
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE ConnectionMediaType(AM_MEDIA_TYPE* out) override {
        if (!out) return E_POINTER;
        *out = peer_ ? Bare(type_) : AM_MEDIA_TYPE{};
        return peer_ ? S_OK : VFW_E_NOT_CONNECTED;
    }
    HRESULT STDMETHODCALLTYPE QueryPinInfo(PIN_INFO* info) override;
    HRESULT STDMETHODCALLTYPE QueryDirection(PIN_DIRECTION* out) override {
        if (!out) return E_POINTER;
        *out = direction_;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE QueryId(LPWSTR* out) override {
        if (!out) return E_POINTER;
        const size_t bytes = (name_.size() + 1) * sizeof(wchar_t);
        *out = static_cast<LPWSTR>(CoTaskMemAlloc(bytes));
        if (!*out) return E_OUTOFMEMORY;
        memcpy(*out, name_.c_str(), bytes);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE QueryAccept(const AM_MEDIA_TYPE*) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE EnumMediaTypes(IEnumMediaTypes** out) override;
    HRESULT STDMETHODCALLTYPE QueryInternalConnections(IPin**, ULONG*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE EndOfStream() override { return S_OK; }
    HRESULT STDMETHODCALLTYPE BeginFlush() override { return S_OK; }
    HRESULT STDMETHODCALLTYPE EndFlush() override { return S_OK; }
    HRESULT STDMETHODCALLTYPE NewSegment(REFERENCE_TIME, REFERENCE_TIME, double) override { return S_OK; }

    // IMemInputPin: samples are counted, the first one logged.
    HRESULT STDMETHODCALLTYPE GetAllocator(IMemAllocator** out) override {
        if (out) *out = nullptr;
        return VFW_E_NO_ALLOCATOR;
    }
    HRESULT STDMETHODCALLTYPE NotifyAllocator(IMemAllocator*, BOOL) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE GetAllocatorRequirements(ALLOCATOR_PROPERTIES*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Receive(IMediaSample* sample) override;
    HRESULT STDMETHODCALLTYPE ReceiveMultiple(IMediaSample** samples, long count, long* done) override {
        if (!samples || !done) return E_POINTER;
        for (*done = 0; *done < count; ++*done) Receive(samples[*done]);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE ReceiveCanBlock() override { return S_FALSE; }

    const std::wstring& Name() const { return name_; }

private:
    FilterDouble* owner_;
    std::wstring name_;
    PIN_DIRECTION direction_;
    AM_MEDIA_TYPE offered_;
    AM_MEDIA_TYPE type_ = {};
    IPin* peer_ = nullptr;
    std::atomic<long> samples_{0};
};

// Hands out an enumerated item as the COM enumerators do.
inline void HandOut(IPin* pin, IPin** slot) {
    pin->AddRef();
    *slot = pin;
}
inline void HandOut(const AM_MEDIA_TYPE& type, AM_MEDIA_TYPE** slot) {
    *slot = static_cast<AM_MEDIA_TYPE*>(CoTaskMemAlloc(sizeof(AM_MEDIA_TYPE)));
    if (*slot) **slot = Bare(type);
}

// IEnumPins and IEnumMediaTypes over a fixed list. It holds its filter, so
// an enumerator that is never released keeps the filter from being destroyed
// and the log shows it.
template <typename I, typename Item, typename Out>
class ListEnum final : public PlainObject<I> {
public:
    ListEnum(IUnknown* holder, const IID& iid, std::vector<Item> items, size_t at = 0)
        : holder_(holder), iid_(iid), items_(std::move(items)), at_(at) {
        holder_->AddRef();
    }
    ~ListEnum() override { holder_->Release(); }
    HRESULT STDMETHODCALLTYPE Next(ULONG count, Out* out, ULONG* fetched) override {
        if (!out) return E_POINTER;
        ULONG n = 0;
        for (; n < count && at_ < items_.size(); ++n, ++at_) HandOut(items_[at_], &out[n]);
        if (fetched) *fetched = n;
        return n == count ? S_OK : S_FALSE;
    }
    HRESULT STDMETHODCALLTYPE Skip(ULONG count) override {
        at_ += count;
        if (at_ <= items_.size()) return S_OK;
        at_ = items_.size();
        return S_FALSE;
    }
    HRESULT STDMETHODCALLTYPE Reset() override {
        at_ = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Clone(I** out) override {
        if (!out) return E_POINTER;
        *out = new (std::nothrow) ListEnum(holder_, iid_, items_, at_);
        return *out ? S_OK : E_OUTOFMEMORY;
    }

private:
    IUnknown* holder_;
    const IID& iid_;
    std::vector<Item> items_;
    size_t at_;

    const IID& Iid() const override { return iid_; }
};

class FilterDouble : public IBaseFilter, public Counted {
public:
    FilterDouble(const char* kind, const CLSID& clsid) : Counted(kind), clsid_(clsid) {}
    ~FilterDouble() override {
        for (PinDouble* pin : pins_) delete pin;
        ReleaseHeld(clock_);
    }
    DOUBLE_IUNKNOWN
    // IPersist, IMediaFilter
    HRESULT STDMETHODCALLTYPE GetClassID(CLSID* out) override {
        if (!out) return E_POINTER;
        *out = clsid_;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Stop() override { return ChangeState("Stop", State_Stopped); }
    HRESULT STDMETHODCALLTYPE Pause() override { return ChangeState("Pause", State_Paused); }
    HRESULT STDMETHODCALLTYPE Run(REFERENCE_TIME) override { return ChangeState("Run", State_Running); }
    HRESULT STDMETHODCALLTYPE GetState(DWORD, FILTER_STATE* out) override {
        if (!out) return E_POINTER;
        *out = state_;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE SetSyncSource(IReferenceClock* clock) override {
        if (clock) clock->AddRef();
        ReleaseHeld(clock_);
        clock_ = clock;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetSyncSource(IReferenceClock** out) override {
        if (!out) return E_POINTER;
        *out = clock_;
        if (clock_) clock_->AddRef();
        return S_OK;
    }
    // IBaseFilter
    HRESULT STDMETHODCALLTYPE EnumPins(IEnumPins** out) override {
        if (!out) return E_POINTER;
        std::vector<IPin*> pins(pins_.begin(), pins_.end());
        *out = new (std::nothrow) ListEnum<IEnumPins, IPin*, IPin*>(static_cast<IBaseFilter*>(this), IID_IEnumPins, pins);
        return *out ? S_OK : E_OUTOFMEMORY;
    }
    HRESULT STDMETHODCALLTYPE FindPin(LPCWSTR id, IPin** out) override {
        if (!out) return E_POINTER;
        *out = nullptr;
        for (PinDouble* pin : pins_)
            if (id && pin->Name() == id) HandOut(pin, out);
        return *out ? S_OK : VFW_E_NOT_FOUND;
    }
    HRESULT STDMETHODCALLTYPE QueryFilterInfo(FILTER_INFO* info) override {
        if (!info) return E_POINTER;
        lstrcpynW(info->achName, name_.c_str(), MAX_FILTER_NAME);
        info->pGraph = graph_;
        if (graph_) graph_->AddRef();
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE JoinFilterGraph(IFilterGraph* graph, LPCWSTR name) override {
        // As DirectShow asks: the graph holds the filter, not the other way round.
        graph_ = graph;
        name_ = name ? name : L"";
        Log("JoinFilterGraph %s", graph ? "graph" : "null");
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE QueryVendorInfo(LPWSTR*) override { return E_NOTIMPL; }

    void AddPin(const wchar_t* name, PIN_DIRECTION direction, const AM_MEDIA_TYPE& offered) {
        pins_.push_back(new PinDouble(this, name, direction, offered));
    }
    // Why an input pin refuses a connection just now, or S_OK.
    virtual HRESULT RefusesConnection() const { return S_OK; }
    // An output pin of this filter met a receiver, or lost it; the filter
    // changed state. For the doubles that deliver a stream.
    virtual void OutputConnected(IPin*) {}
    virtual void PinDisconnected() {}
    virtual void StateChanged(FILTER_STATE) {}
    // Whether its input pins take samples (IMemInputPin).
    virtual bool TakesSamples() const { return false; }

protected:
    void* Find(REFIID iid) override {
        if (IsOneOf(iid, {&IID_IUnknown, &IID_IPersist, &IID_IMediaFilter, &IID_IBaseFilter}))
            return static_cast<IBaseFilter*>(this);
        return FindMore(iid);
    }
    virtual void* FindMore(REFIID) { return nullptr; }

private:
    HRESULT ChangeState(const char* method, FILTER_STATE to) {
        bool forced = false;
        const HRESULT hr = Enter(method, &forced);
        if (!forced) state_ = to;
        if (!forced) StateChanged(to);
        Log("%s 0x%08lX", method, static_cast<unsigned long>(hr));
        return hr;
    }

    CLSID clsid_;
    std::vector<PinDouble*> pins_;
    FILTER_STATE state_ = State_Stopped;
    IFilterGraph* graph_ = nullptr;
    IReferenceClock* clock_ = nullptr;
    std::wstring name_;
};

