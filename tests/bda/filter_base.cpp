// The pins' connection handshake.
#include "filter_base.h"

HRESULT STDMETHODCALLTYPE PinDouble::QueryInterface(REFIID iid, void** out) {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (IsOneOf(iid, {&IID_IUnknown, &IID_IPin}))
        *out = static_cast<IPin*>(this);
    else if (IsEqualGUID(iid, IID_IMemInputPin) && direction_ == PINDIR_INPUT && owner_->TakesSamples())
        *out = static_cast<IMemInputPin*>(this);
    if (!*out) return E_NOINTERFACE;
    AddRef();
    return S_OK;
}

HRESULT STDMETHODCALLTYPE PinDouble::Receive(IMediaSample* sample) {
    if (!sample) return E_POINTER;
    if (++samples_ == 1) owner_->Log("Receive first sample %ld bytes on %ls", sample->GetActualDataLength(), name_.c_str());
    return S_OK;
}

ULONG STDMETHODCALLTYPE PinDouble::AddRef() { return owner_->AddRef(); }
ULONG STDMETHODCALLTYPE PinDouble::Release() { return owner_->Release(); }

HRESULT STDMETHODCALLTYPE PinDouble::Connect(IPin* receiver, const AM_MEDIA_TYPE* type) {
    if (!receiver) return E_POINTER;
    if (peer_) return VFW_E_ALREADY_CONNECTED;
    const AM_MEDIA_TYPE offer = (type && !IsEqualGUID(type->majortype, GUID_NULL)) ? Bare(*type) : offered_;
    const HRESULT hr = receiver->ReceiveConnection(this, &offer);
    if (SUCCEEDED(hr)) {
        peer_ = receiver;
        peer_->AddRef();
        type_ = offer;
        owner_->OutputConnected(receiver);
    }
    owner_->Log("Connect %ls 0x%08lX", name_.c_str(), static_cast<unsigned long>(hr));
    return hr;
}

HRESULT STDMETHODCALLTYPE PinDouble::ReceiveConnection(IPin* connector, const AM_MEDIA_TYPE* type) {
    if (!connector || !type) return E_POINTER;
    HRESULT hr = S_OK;
    if (peer_) hr = VFW_E_ALREADY_CONNECTED;
    else if (direction_ != PINDIR_INPUT) hr = E_UNEXPECTED;
    else hr = owner_->RefusesConnection();
    if (hr == S_OK) {
        peer_ = connector;
        peer_->AddRef();
        type_ = Bare(*type);
    }
    owner_->Log("ReceiveConnection %ls 0x%08lX", name_.c_str(), static_cast<unsigned long>(hr));
    return hr;
}

HRESULT STDMETHODCALLTYPE PinDouble::Disconnect() {
    const HRESULT hr = peer_ ? S_OK : S_FALSE;
    if (peer_) owner_->PinDisconnected();
    ReleaseHeld(peer_);
    owner_->Log("Disconnect %ls 0x%08lX", name_.c_str(), static_cast<unsigned long>(hr));
    return hr;
}

HRESULT STDMETHODCALLTYPE PinDouble::QueryPinInfo(PIN_INFO* info) {
    if (!info) return E_POINTER;
    info->pFilter = owner_;
    owner_->AddRef();
    info->dir = direction_;
    lstrcpynW(info->achName, name_.c_str(), MAX_PIN_NAME);
    return S_OK;
}

HRESULT STDMETHODCALLTYPE PinDouble::EnumMediaTypes(IEnumMediaTypes** out) {
    if (!out) return E_POINTER;
    std::vector<AM_MEDIA_TYPE> types{offered_};
    *out = new (std::nothrow) ListEnum<IEnumMediaTypes, AM_MEDIA_TYPE, AM_MEDIA_TYPE*>(
        static_cast<IBaseFilter*>(owner_), IID_IEnumMediaTypes, types);
    return *out ? S_OK : E_OUTOFMEMORY;
}

