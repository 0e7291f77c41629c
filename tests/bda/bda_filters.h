// Doubles of the DirectShow filters of a DVB-S graph: the network provider,
// the BDA tuner (with its control nodes) and an MPEG-2 demultiplexer. They
// connect and change state as DirectShow describes; no sample ever flows.
#pragma once
#include <strmif.h>
#include <bdaiface.h>
#include <tuner.h>

#include <vector>

#include "doubles_core.h"

// The tuner double's own class id (a made-up one: no real device has it).
// {5A1B8F20-3C64-4E0B-9D2F-7A41C3E09B11}
static const GUID kBdaDoubleTunerClassId = {
    0x5a1b8f20, 0x3c64, 0x4e0b, {0x9d, 0x2f, 0x7a, 0x41, 0xc3, 0xe0, 0x9b, 0x11}};
constexpr wchar_t kBdaDoubleTunerName[] = L"Zentrik Test DVB-S Tuner";

// KSCATEGORY_BDA_NETWORK_TUNER {71985F48-1CA1-11d3-9CC8-00C04F7971E0}; the
// mingw-w64 headers do not carry the BDA categories and node types.
static const GUID kCategoryBdaNetworkTuner = {
    0x71985f48, 0x1ca1, 0x11d3, {0x9c, 0xc8, 0x00, 0xc0, 0x4f, 0x79, 0x71, 0xe0}};
// KSNODE_BDA_RF_TUNER and KSNODE_BDA_QPSK_DEMODULATOR.
static const GUID kNodeRfTuner = {
    0x71985f4c, 0x1ca1, 0x11d3, {0x9c, 0xc8, 0x00, 0xc0, 0x4f, 0x79, 0x71, 0xe0}};
static const GUID kNodeQpskDemodulator = {
    0x6390c905, 0x27c1, 0x4d67, {0xbd, 0xb7, 0x77, 0xc5, 0x0d, 0x07, 0x93, 0x00}};

HRESULT CreateProviderDouble(REFIID iid, void** out);
HRESULT CreateTunerDouble(REFIID iid, void** out);
HRESULT CreateDemuxDouble(REFIID iid, void** out);
