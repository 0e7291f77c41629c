// The BDA devices Windows lists for a card (tuners, receiver components), how
// each is told apart, and the user's choice of tuner.
#pragma once
#include <windows.h>
#include <dshow.h>

constexpr int kDeviceNameChars = 128;
constexpr int kDevicePathChars = 512;

// A device as its moniker names it: the friendly name, which both halves of a
// twin card share, and the device path, which is unique per device (empty
// where the moniker has none).
struct BdaDeviceId {
    wchar_t Name[kDeviceNameChars] = L"";
    wchar_t Path[kDevicePathChars] = L"";
};

// Platform category ids (bdamedia.h in the Windows SDK; mingw-w64 lacks them).
extern const GUID kNetworkTunerCategory;
extern const GUID kReceiverComponentCategory;

// The category's monikers; null (and S_FALSE) when the category is empty.
HRESULT EnumerateCategory(const GUID& category, IEnumMoniker** monikers);
void ReadDeviceId(IMoniker* moniker, BdaDeviceId* id);

// Calls back with every tuner in the BDA network-tuner category; returns how
// many there were, or a negative HRESULT.
typedef void (*BdaTunerVisitor)(int index, const BdaDeviceId& id, void* context);
HRESULT ListBdaTuners(BdaTunerVisitor visit, void* context);

// The Device setting: HKCU\Software\Zentrik\BdaTuner, value Device; empty
// when none is set. It names a tuner by friendly name or by device path.
constexpr int kWantedDeviceChars = kDevicePathChars;
void ReadWantedDevice(wchar_t wanted[kWantedDeviceChars]);
// Whether the device is the one wanted (any device when nothing is wanted).
bool DeviceWanted(const wchar_t* wanted, const BdaDeviceId& id);
