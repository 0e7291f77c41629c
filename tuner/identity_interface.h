// An optional interface of our own that a tuner component may offer beside
// the tuner-control interface: who the satellite it receives says it is, as
// read from the broadcast's own tables. Zentrik asks the tuner filter for it
// with QueryInterface once a transponder is tuned and reads it while
// measuring; a filter without it changes nothing. The README documents it
// for other tuner components.
#pragma once
#include <windows.h>
#include <unknwn.h>
#include <cstdint>

// {57261152-5D16-4523-A32D-67DD5F51AF6B}
static const GUID kSatelliteIdentityInterfaceId = {
    0x57261152, 0x5D16, 0x4523, {0xA3, 0x2D, 0x67, 0xDD, 0x5F, 0x51, 0xAF, 0x6B}};

// The position of a satellite not known (yet).
constexpr int32_t kIdentityPositionUnknown = 0x7FFF;
constexpr int kIdentityNameBytes = 64;

// What the broadcast says. The caller sets cbSize to the size it knows; the
// record only grows at its end, so a component fills what both know. Every
// field is the same on x86 and x64 (no pointers).
struct ZentrikIdentityInfo {
    uint32_t cbSize;
    // Orbital position in tenths of a degree, east positive (130 = 13.0E,
    // -300 = 30.0W), or kIdentityPositionUnknown.
    int32_t Position;
    uint16_t NetworkId;          // the NIT actual's network_id; 0 unknown
    uint16_t OriginalNetworkId;  // of the received transport stream (SDT actual); 0 unknown
    uint16_t TransportStreamId;  // of the received transport stream (SDT actual); 0 unknown
    uint16_t Reserved;           // always zero: the padding the record would have anyway, named
    // The network's name (network name descriptor), UTF-8, zero-terminated,
    // cut at a character boundary; empty when unknown.
    char NetworkName[kIdentityNameBytes];
};
static_assert(sizeof(ZentrikIdentityInfo) == 80, "one layout on every architecture");

struct IZentrikSatelliteIdentity : public IUnknown {
    // Fills *info with what is known now. S_OK once the position is known;
    // S_FALSE while it is not (the other fields say what is); E_POINTER for
    // a null record, E_INVALIDARG when cbSize is smaller than the record.
    // Called from the program's polling thread, without COM initialisation,
    // about once a second while measuring; it must answer at once.
    virtual HRESULT STDMETHODCALLTYPE GetSatelliteIdentity(ZentrikIdentityInfo* info) = 0;
};
