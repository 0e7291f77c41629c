// Doubles of the DirectShow filters of a DVB-S graph: the network providers
// (the DVB-S one and Microsoft's generic one), the card's BDA tuner (and its
// twin) and receiver component with their control nodes, and an MPEG-2
// demultiplexer. They connect and change state as DirectShow describes; no
// sample ever flows.
#pragma once
#include <strmif.h>
#include <bdaiface.h>
#include <tuner.h>

#include <vector>

#include "doubles_core.h"

// The card doubles' own class ids (made-up ones: no real device has them).
// {5A1B8F20-3C64-4E0B-9D2F-7A41C3E09B11}
static const GUID kBdaDoubleTunerClassId = {
    0x5a1b8f20, 0x3c64, 0x4e0b, {0x9d, 0x2f, 0x7a, 0x41, 0xc3, 0xe0, 0x9b, 0x11}};
// {5A1B8F21-3C64-4E0B-9D2F-7A41C3E09B11}: the other half of a twin card
static const GUID kBdaDoubleTwinClassId = {
    0x5a1b8f21, 0x3c64, 0x4e0b, {0x9d, 0x2f, 0x7a, 0x41, 0xc3, 0xe0, 0x9b, 0x11}};
// {5A1B8F22-3C64-4E0B-9D2F-7A41C3E09B11}
static const GUID kBdaDoubleReceiverClassId = {
    0x5a1b8f22, 0x3c64, 0x4e0b, {0x9d, 0x2f, 0x7a, 0x41, 0xc3, 0xe0, 0x9b, 0x11}};
// Both halves of the twin card have this one friendly name.
constexpr wchar_t kBdaDoubleTunerName[] = L"Zentrik Test DVB-S Tuner";
constexpr wchar_t kBdaDoubleReceiverName[] = L"Zentrik Test DVB-S Receiver";
constexpr wchar_t kBdaDoubleTunerPath[] = L"\\\\?\\zentrik#double#tuner#{71985f48-1ca1-11d3-9cc8-00c04f7971e0}";
constexpr wchar_t kBdaDoubleTwinPath[] = L"\\\\?\\zentrik#double#twin#{71985f48-1ca1-11d3-9cc8-00c04f7971e0}";

// Microsoft's network provider for every network type (CLSID_NetworkProvider).
static const GUID kGenericNetworkProviderClassId = {
    0xb2f3a67c, 0x29da, 0x4c78, {0x88, 0x31, 0x09, 0x1e, 0xd5, 0x09, 0xa4, 0x75}};

// KSCATEGORY_BDA_NETWORK_TUNER and KSCATEGORY_BDA_RECEIVER_COMPONENT; the
// mingw-w64 headers do not carry the BDA categories and node types.
static const GUID kCategoryBdaNetworkTuner = {
    0x71985f48, 0x1ca1, 0x11d3, {0x9c, 0xc8, 0x00, 0xc0, 0x4f, 0x79, 0x71, 0xe0}};
static const GUID kCategoryBdaReceiverComponent = {
    0xfd0a5af4, 0xb41d, 0x11d2, {0x9c, 0x95, 0x00, 0xc0, 0x4f, 0x79, 0x71, 0xe0}};
// KSNODE_BDA_RF_TUNER and KSNODE_BDA_QPSK_DEMODULATOR.
static const GUID kNodeRfTuner = {
    0x71985f4c, 0x1ca1, 0x11d3, {0x9c, 0xc8, 0x00, 0xc0, 0x4f, 0x79, 0x71, 0xe0}};
static const GUID kNodeQpskDemodulator = {
    0x6390c905, 0x27c1, 0x4d67, {0xbd, 0xb7, 0x77, 0xc5, 0x0d, 0x07, 0x93, 0x00}};

// {0E7C3A52-91D4-4C7B-8F26-3D5A1B6E9C07}: the private major type of the
// antenna connection between provider and tuner.
static const GUID kAntennaMajorType = {
    0x0e7c3a52, 0x91d4, 0x4c7b, {0x8f, 0x26, 0x3d, 0x5a, 0x1b, 0x6e, 0x9c, 0x07}};

// Statistics getters sleep for the script's latency first.
void Latency();

HRESULT CreateProviderDouble(REFIID iid, void** out);
HRESULT CreateGenericProviderDouble(REFIID iid, void** out);
HRESULT CreateTunerDouble(REFIID iid, void** out);
HRESULT CreateTwinDouble(REFIID iid, void** out);
HRESULT CreateReceiverDouble(REFIID iid, void** out);
HRESULT CreateDemuxDouble(REFIID iid, void** out);
