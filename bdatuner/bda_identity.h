// The bridge's answer to the program's identity interface
// (tuner/identity_interface.h), and the fuller view bdaprobe prints: both
// read the stream tap (bda_tap.h) directly, never through the worker, so a
// driver call that blocks there does not hold them up.
#pragma once
#include <windows.h>
#include <dshow.h>

#include "identity/broadcast_identity.h"

// The bridge's own interface for bdaprobe: everything the tables have said,
// the transponders the NIT lists included, and how much stream has passed.
// {0B6E3F51-2A7C-4D9E-8F14-6C3B2A59D1E7}
static const GUID kBdaIdentityProbeInterfaceId = {
    0x0B6E3F51, 0x2A7C, 0x4D9E, {0x8F, 0x14, 0x6C, 0x3B, 0x2A, 0x59, 0xD1, 0xE7}};
struct IBdaIdentityProbe : public IUnknown {
    virtual HRESULT STDMETHODCALLTYPE ReadBroadcast(BroadcastIdentity* identity, ULONGLONG* streamBytes) = 0;
};

// Whether iid is one of the two identity interfaces.
bool IsIdentityInterface(REFIID iid);
// A small object answering the identity interfaces for owner, whose other
// interfaces it hands out (one COM identity): owner's QueryInterface calls
// this for IsIdentityInterface ids.
HRESULT CreateIdentityFace(IUnknown* owner, IBaseFilter* tap, REFIID iid, void** out);
