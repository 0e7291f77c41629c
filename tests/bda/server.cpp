// ZentrikBdaDoubles.dll's COM server: the class factory and its registration
// in a test prefix (never on a real machine: it takes over Microsoft's class
// ids for the DVB-S network provider and the tuning-model objects).
#include <windows.h>
#include <olectl.h>
#include <strmif.h>
#include <uuids.h>

#include <new>
#include <string>

#include "bda_filters.h"
#include "tuning_model.h"

namespace {

HMODULE g_module = nullptr;

struct ClassEntry {
    const CLSID* Clsid;
    const char* Kind;  // the name a "fail Create.KIND" line uses
    const wchar_t* Name;
    HRESULT (*Create)(REFIID, void**);
};

const ClassEntry kClasses[] = {
    {&CLSID_DVBSNetworkProvider, "Provider", L"Zentrik double: DVB-S network provider", CreateProviderDouble},
    {&kGenericNetworkProviderClassId, "Generic", L"Zentrik double: generic network provider",
     CreateGenericProviderDouble},
    {&CLSID_DVBSTuningSpace, "TuningSpace", L"Zentrik double: DVB-S tuning space", CreateTuningSpaceDouble},
    {&CLSID_DVBTuneRequest, "TuneRequest", L"Zentrik double: DVB tune request", CreateTuneRequestDouble},
    {&CLSID_DVBSLocator, "Locator", L"Zentrik double: DVB-S locator", CreateLocatorDouble},
    {&kBdaDoubleTunerClassId, "Tuner", kBdaDoubleTunerName, CreateTunerDouble},
    {&kBdaDoubleTwinClassId, "Twin", kBdaDoubleTunerName, CreateTwinDouble},
    {&kBdaDoubleReceiverClassId, "Receiver", kBdaDoubleReceiverName, CreateReceiverDouble},
    {&CLSID_MPEG2Demultiplexer, "Demux", L"Zentrik double: MPEG-2 demultiplexer", CreateDemuxDouble},
};

const ClassEntry* EntryFor(REFCLSID clsid) {
    for (const ClassEntry& entry : kClasses)
        if (IsEqualGUID(clsid, *entry.Clsid)) return &entry;
    return nullptr;
}

// The twin tuner and the receiver are listed in their categories always, but
// only the script brings them in; `nodevice` takes the tuner away.
bool DevicePresent(const CLSID& clsid) {
    const DoublesScript& script = Script();
    if (IsEqualGUID(clsid, kBdaDoubleTunerClassId)) return !script.NoDevice;
    if (IsEqualGUID(clsid, kBdaDoubleTwinClassId)) return script.Card.Tuners == 2;
    if (IsEqualGUID(clsid, kBdaDoubleReceiverClassId)) return script.Card.Receiver;
    return true;
}

class Factory final : public PlainObject<IClassFactory> {
public:
    explicit Factory(const ClassEntry* entry) : entry_(entry) {}
    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID iid, void** out) override {
        if (!out) return E_POINTER;
        *out = nullptr;
        HRESULT hr = S_OK;
        if (outer) hr = CLASS_E_NOAGGREGATION;
        else if (ForcedResult("Create", entry_->Kind, &hr)) {
        } else if (!DevicePresent(*entry_->Clsid)) {
            hr = CLASS_E_CLASSNOTAVAILABLE;
        } else {
            hr = entry_->Create(iid, out);
        }
        LogLine("Factory CreateInstance %s 0x%08lX", entry_->Kind, static_cast<unsigned long>(hr));
        return hr;
    }
    HRESULT STDMETHODCALLTYPE LockServer(BOOL lock) override {
        g_serverLocks += lock ? 1 : -1;
        return S_OK;
    }

private:
    const IID& Iid() const override { return IID_IClassFactory; }
    const ClassEntry* entry_;
};

LONG SetString(HKEY key, const wchar_t* name, const wchar_t* value) {
    return RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value),
                          static_cast<DWORD>((lstrlenW(value) + 1) * sizeof(wchar_t)));
}

std::wstring ClassKey(const CLSID& clsid) {
    wchar_t text[40];
    StringFromGUID2(clsid, text, 40);
    return std::wstring(L"CLSID\\") + text;
}

// An MPEG-2 demultiplexer the prefix already has is left alone.
bool ServedByOther(const CLSID& clsid, const wchar_t* ourPath) {
    wchar_t path[MAX_PATH] = L"";
    LONG size = sizeof path;
    if (RegQueryValueW(HKEY_CLASSES_ROOT, (ClassKey(clsid) + L"\\InprocServer32").c_str(), path, &size) !=
        ERROR_SUCCESS)
        return false;
    return path[0] && lstrcmpiW(path, ourPath) != 0;
}

HRESULT RegisterDouble(const ClassEntry& entry, const wchar_t* path) {
    HKEY classKey = nullptr, serverKey = nullptr;
    if (RegCreateKeyExW(HKEY_CLASSES_ROOT, ClassKey(*entry.Clsid).c_str(), 0, nullptr, 0, KEY_WRITE, nullptr,
                        &classKey, nullptr) != ERROR_SUCCESS)
        return SELFREG_E_CLASS;
    LONG status = SetString(classKey, nullptr, entry.Name);
    if (status == ERROR_SUCCESS)
        status = RegCreateKeyExW(classKey, L"InprocServer32", 0, nullptr, 0, KEY_WRITE, nullptr, &serverKey, nullptr);
    if (status == ERROR_SUCCESS) status = SetString(serverKey, nullptr, path);
    if (status == ERROR_SUCCESS) status = SetString(serverKey, L"ThreadingModel", L"Both");
    if (serverKey) RegCloseKey(serverKey);
    RegCloseKey(classKey);
    return status == ERROR_SUCCESS ? S_OK : SELFREG_E_CLASS;
}

void UnregisterDouble(const CLSID& clsid) {
    const std::wstring key = ClassKey(clsid);
    RegDeleteKeyW(HKEY_CLASSES_ROOT, (key + L"\\InprocServer32").c_str());
    RegDeleteKeyW(HKEY_CLASSES_ROOT, key.c_str());
}

struct DeviceEntry {
    const CLSID* Clsid;
    const GUID* Category;
    const wchar_t* Name;
    const wchar_t* Path;  // the DevicePath in the moniker's property bag, or null
    bool Tuner;           // taken away and put back by "regsvr32 /n /i:tuner"
};

const DeviceEntry kDevices[] = {
    {&kBdaDoubleTunerClassId, &kCategoryBdaNetworkTuner, kBdaDoubleTunerName, kBdaDoubleTunerPath, true},
    {&kBdaDoubleTwinClassId, &kCategoryBdaNetworkTuner, kBdaDoubleTunerName, kBdaDoubleTwinPath, true},
    {&kBdaDoubleReceiverClassId, &kCategoryBdaReceiverComponent, kBdaDoubleReceiverName, nullptr, false},
};

// The device's entry in its category, where the system device enumerator
// finds it, with its device path written into the moniker's property bag.
HRESULT AddDevice(IFilterMapper2* mapper, const DeviceEntry& device) {
    REGFILTER2 filter = {};
    filter.dwVersion = 1;
    filter.dwMerit = MERIT_DO_NOT_USE;
    IMoniker* moniker = nullptr;
    HRESULT hr = mapper->RegisterFilter(*device.Clsid, device.Name, &moniker, device.Category, nullptr, &filter);
    IPropertyBag* bag = nullptr;
    if (SUCCEEDED(hr) && device.Path && moniker)
        hr = moniker->BindToStorage(nullptr, nullptr, IID_IPropertyBag, reinterpret_cast<void**>(&bag));
    if (bag) {
        VARIANT path;
        path.vt = VT_BSTR;
        path.bstrVal = SysAllocString(device.Path);
        hr = bag->Write(L"DevicePath", &path);
        VariantClear(&path);
        bag->Release();
    }
    if (moniker) moniker->Release();
    return hr;
}

HRESULT RegisterDevices(bool add, bool tunersOnly) {
    const HRESULT init = CoInitialize(nullptr);
    IFilterMapper2* mapper = nullptr;
    HRESULT hr = CoCreateInstance(CLSID_FilterMapper2, nullptr, CLSCTX_INPROC_SERVER, IID_IFilterMapper2,
                                  reinterpret_cast<void**>(&mapper));
    for (const DeviceEntry& device : kDevices) {
        if (FAILED(hr) || (tunersOnly && !device.Tuner)) continue;
        if (add) {
            hr = AddDevice(mapper, device);
        } else {
            hr = mapper->UnregisterFilter(device.Category, nullptr, *device.Clsid);
            if (hr == HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND)) hr = S_OK;
        }
    }
    if (mapper) mapper->Release();
    if (SUCCEEDED(init)) CoUninitialize();
    return SUCCEEDED(hr) ? S_OK : SELFREG_E_CLASS;
}

}  // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) {
        g_module = instance;
        DisableThreadLibraryCalls(instance);
    }
    return TRUE;
}

extern "C" HRESULT STDAPICALLTYPE DllGetClassObject(REFCLSID clsid, REFIID iid, void** out) {
    if (!out) return E_POINTER;
    *out = nullptr;
    const ClassEntry* entry = EntryFor(clsid);
    if (!entry) return CLASS_E_CLASSNOTAVAILABLE;
    Script();  // the environment is read here, once, before any object logs
    Factory* factory = new (std::nothrow) Factory(entry);
    if (!factory) return E_OUTOFMEMORY;
    const HRESULT hr = factory->QueryInterface(iid, out);
    factory->Release();
    return hr;
}

extern "C" HRESULT STDAPICALLTYPE DllCanUnloadNow() {
    return (g_liveObjects.load() == 0 && g_serverLocks.load() == 0) ? S_OK : S_FALSE;
}

extern "C" HRESULT STDAPICALLTYPE DllRegisterServer() {
    wchar_t path[MAX_PATH];
    const DWORD n = GetModuleFileNameW(g_module, path, MAX_PATH);
    if (n == 0 || n >= MAX_PATH) return SELFREG_E_CLASS;
    for (const ClassEntry& entry : kClasses) {
        if (ServedByOther(*entry.Clsid, path)) continue;
        if (FAILED(RegisterDouble(entry, path))) return SELFREG_E_CLASS;
    }
    return RegisterDevices(true, false);
}

extern "C" HRESULT STDAPICALLTYPE DllUnregisterServer() {
    wchar_t path[MAX_PATH];
    const DWORD n = GetModuleFileNameW(g_module, path, MAX_PATH);
    if (n == 0 || n >= MAX_PATH) return SELFREG_E_CLASS;
    const HRESULT device = RegisterDevices(false, false);
    for (const ClassEntry& entry : kClasses)
        if (!ServedByOther(*entry.Clsid, path)) UnregisterDouble(*entry.Clsid);
    return device;
}

// "regsvr32 [/u] /n /i:tuner": only the tuners' device entries, so a test can
// take the card away while the rest of the tuning model stays.
extern "C" HRESULT STDAPICALLTYPE DllInstall(BOOL install, LPCWSTR command) {
    if (!command || lstrcmpiW(command, L"tuner") != 0) return E_INVALIDARG;
    return RegisterDevices(install != FALSE, true);
}
