// Per-user registration of a tuner DLL as the in-process server of the tuner
// filter class. Shared by the simulated tuner and the BDA bridge.
#pragma once
#include <windows.h>

// HKCU\Software\Classes\CLSID\{class}\InprocServer32 = the path of the DLL
// this code is linked into, ThreadingModel Both.
HRESULT RegisterTunerServer(const wchar_t* description);
HRESULT UnregisterTunerServer();
