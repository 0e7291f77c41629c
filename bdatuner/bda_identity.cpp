#include "bdatuner/bda_identity.h"

#include <wrl/client.h>

#include <cstring>
#include <new>

#include "bdatuner/bda_tap.h"
#include "tuner/identity_interface.h"

using Microsoft::WRL::ComPtr;

static_assert(kIdentityNameBytes == kNetworkNameBytes, "the record carries the reader's name whole");

namespace {

void FillIdentityInfo(const BroadcastIdentity& broadcast, ZentrikIdentityInfo* info) {
    info->Position = broadcast.Position == kPositionUnknown ? kIdentityPositionUnknown : broadcast.Position;
    info->NetworkId = broadcast.NetworkId;
    info->OriginalNetworkId = broadcast.OriginalNetworkId;
    info->TransportStreamId = broadcast.TransportStreamId;
    info->Reserved = 0;
    std::memcpy(info->NetworkName, broadcast.NetworkName, kIdentityNameBytes);
    info->NetworkName[kIdentityNameBytes - 1] = '\0';
}

// A tear-off: it keeps its owner alive and gives its owner's interfaces for
// every other id, so both are one object to COM.
class IdentityFace final : public IZentrikSatelliteIdentity, public IBdaIdentityProbe {
public:
    IdentityFace(IUnknown* owner, IBaseFilter* tap) : owner_(owner), tap_(tap) {}
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        if (!out) return E_POINTER;
        *out = nullptr;
        if (IsEqualGUID(iid, kSatelliteIdentityInterfaceId))
            *out = static_cast<IZentrikSatelliteIdentity*>(this);
        else if (IsEqualGUID(iid, kBdaIdentityProbeInterfaceId))
            *out = static_cast<IBdaIdentityProbe*>(this);
        else
            return owner_->QueryInterface(iid, out);
        AddRef();
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(InterlockedIncrement(&refs_)); }
    ULONG STDMETHODCALLTYPE Release() override {
        const LONG left = InterlockedDecrement(&refs_);
        if (left == 0) delete this;
        return static_cast<ULONG>(left);
    }
    HRESULT STDMETHODCALLTYPE GetSatelliteIdentity(ZentrikIdentityInfo* info) override {
        if (!info) return E_POINTER;
        if (info->cbSize < sizeof(ZentrikIdentityInfo)) return E_INVALIDARG;
        const BroadcastIdentity broadcast = ReadStreamTap(tap_.Get());
        FillIdentityInfo(broadcast, info);
        return broadcast.Position == kPositionUnknown ? S_FALSE : S_OK;
    }
    HRESULT STDMETHODCALLTYPE ReadBroadcast(BroadcastIdentity* identity, ULONGLONG* streamBytes) override {
        if (!identity || !streamBytes) return E_POINTER;
        *identity = ReadStreamTap(tap_.Get());
        *streamBytes = StreamTapBytes(tap_.Get());
        return S_OK;
    }

private:
    LONG refs_ = 0;  // the creator's ComPtr takes the first reference
    ComPtr<IUnknown> owner_;
    ComPtr<IBaseFilter> tap_;
};

}  // namespace

bool IsIdentityInterface(REFIID iid) {
    return IsEqualGUID(iid, kSatelliteIdentityInterfaceId) || IsEqualGUID(iid, kBdaIdentityProbeInterfaceId);
}

HRESULT CreateIdentityFace(IUnknown* owner, IBaseFilter* tap, REFIID iid, void** out) {
    if (!out) return E_POINTER;
    *out = nullptr;
    const Microsoft::WRL::ComPtr<IdentityFace> face = new (std::nothrow) IdentityFace(owner, tap);
    if (!face) return E_OUTOFMEMORY;
    return face->QueryInterface(iid, out);
}
