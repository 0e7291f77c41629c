#include "bdatuner/bda_devices.h"

#include <wrl/client.h>

#include <cwchar>

using Microsoft::WRL::ComPtr;

const GUID kNetworkTunerCategory = {
    0x71985F48, 0x1CA1, 0x11D3, {0x9C, 0xC8, 0x00, 0xC0, 0x4F, 0x79, 0x71, 0xE0}};
const GUID kReceiverComponentCategory = {
    0xFD0A5AF4, 0xB41D, 0x11D2, {0x9C, 0x95, 0x00, 0xC0, 0x4F, 0x79, 0x71, 0xE0}};

namespace {

constexpr wchar_t kSettingsKey[] = L"Software\\Zentrik\\BdaTuner";
constexpr int kLongestSettingChars = 2048;

void ReadBagText(IPropertyBag* bag, const wchar_t* property, wchar_t* text, int chars) {
    text[0] = 0;
    VARIANT value;
    VariantInit(&value);
    if (SUCCEEDED(bag->Read(property, &value, nullptr)) && value.vt == VT_BSTR && value.bstrVal)
        lstrcpynW(text, value.bstrVal, chars);
    VariantClear(&value);
}

// Both cut to the same length first, so that a long setting still matches
// only its own device.
bool SameCut(const wchar_t* wanted, const wchar_t* value, int chars) {
    wchar_t cut[kDevicePathChars];
    lstrcpynW(cut, wanted, chars < kDevicePathChars ? chars : kDevicePathChars);
    return value[0] && _wcsicmp(cut, value) == 0;
}

}  // namespace

HRESULT EnumerateCategory(const GUID& category, IEnumMoniker** monikers) {
    *monikers = nullptr;
    ComPtr<ICreateDevEnum> devices;
    const HRESULT result =
        CoCreateInstance(CLSID_SystemDeviceEnum, nullptr, CLSCTX_INPROC_SERVER, IID_ICreateDevEnum, &devices);
    if (FAILED(result)) return result;
    return devices->CreateClassEnumerator(category, monikers, 0);
}

void ReadDeviceId(IMoniker* moniker, BdaDeviceId* id) {
    *id = BdaDeviceId{};
    ComPtr<IPropertyBag> bag;
    if (FAILED(moniker->BindToStorage(nullptr, nullptr, IID_IPropertyBag, &bag))) return;
    ReadBagText(bag.Get(), L"FriendlyName", id->Name, kDeviceNameChars);
    ReadBagText(bag.Get(), L"DevicePath", id->Path, kDevicePathChars);
}

HRESULT ListBdaTuners(BdaTunerVisitor visit, void* context) {
    ComPtr<IEnumMoniker> monikers;
    const HRESULT result = EnumerateCategory(kNetworkTunerCategory, &monikers);
    if (FAILED(result)) return result;
    int count = 0;
    ComPtr<IMoniker> moniker;
    while (monikers && monikers->Next(1, &moniker, nullptr) == S_OK) {
        BdaDeviceId id;
        ReadDeviceId(moniker.Get(), &id);
        visit(count++, id, context);
    }
    return count;
}

void ReadWantedDevice(wchar_t wanted[kWantedDeviceChars]) {
    // Read whole, then cut, as the device's own name and path are cut.
    wchar_t value[kLongestSettingChars];
    DWORD size = sizeof value;
    if (RegGetValueW(HKEY_CURRENT_USER, kSettingsKey, L"Device", RRF_RT_REG_SZ, nullptr, value, &size) !=
        ERROR_SUCCESS)
        value[0] = 0;
    lstrcpynW(wanted, value, kWantedDeviceChars);
}

bool DeviceWanted(const wchar_t* wanted, const BdaDeviceId& id) {
    if (!wanted[0]) return true;
    return SameCut(wanted, id.Name, kDeviceNameChars) || SameCut(wanted, id.Path, kDevicePathChars);
}
