#include "bdatuner/bda_identity.h"

#include <wrl/client.h>

#include <cstring>
#include <new>

#include "bdatuner/bda_com.h"
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
class IdentityFace final : public ComObject<IdentityFace, IZentrikSatelliteIdentity, IBdaIdentityProbe> {
public:
    static const ComFace<IdentityFace> kFaces[];
    IdentityFace(IUnknown* owner, IBaseFilter* tap) : owner_(owner), tap_(tap) {}
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        const HRESULT own = ComObject::QueryInterface(iid, out);
        return own == E_NOINTERFACE ? owner_->QueryInterface(iid, out) : own;
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
    ComPtr<IUnknown> owner_;
    ComPtr<IBaseFilter> tap_;
};

const ComFace<IdentityFace> IdentityFace::kFaces[] = {
    {&kSatelliteIdentityInterfaceId, AsFace<IdentityFace, IZentrikSatelliteIdentity>},
    {&kBdaIdentityProbeInterfaceId, AsFace<IdentityFace, IBdaIdentityProbe>},
    {}};

}  // namespace

bool IsIdentityInterface(REFIID iid) {
    return IsEqualGUID(iid, kSatelliteIdentityInterfaceId) || IsEqualGUID(iid, kBdaIdentityProbeInterfaceId);
}

HRESULT CreateIdentityFace(IUnknown* owner, IBaseFilter* tap, REFIID iid, void** out) {
    return HandOut(new (std::nothrow) IdentityFace(owner, tap), iid, out);
}
