#include "tuner/tuner_control.h"

#include <windows.h>

#include "app/app_state.h"
#include "tuner/tuner_interface.h"
#include "tuner/tuning_sequence.h"

namespace {

void ShowTunerError(const char* text) { MessageBoxA(App.MainWindow, text, "Error", MB_OK); }

}  // namespace

// Whatever a failing step handed over stays held: Shutdown releases it.
bool CreateTunerControl() {
    void* filter = nullptr;
    // Only exactly 0 counts: a positive success code is not what the card gives.
    const HRESULT created = CoCreateInstance(kTunerFilterClassId, nullptr, CLSCTX_INPROC_SERVER,
                                             kBaseFilterInterfaceId, &filter);
    App.TunerFilter = static_cast<IUnknown*>(filter);
    if (created != 0) {
        ShowTunerError("Cannot create filter graph manager");
        return true;
    }
    void* control = nullptr;
    const HRESULT queried = App.TunerFilter->QueryInterface(kTunerControlInterfaceId, &control);
    App.TunerControl = static_cast<ITunerControl*>(control);
    if (queried != 0) return true;
    const char* failed = ReadyTunerControl(App.TunerControl);
    if (failed) ShowTunerError(failed);
    return failed != nullptr;
}

// A failed tuning step ends the program: the card is in an unknown state.
void TuneTransponder() {
    const char* failed = SetTransponder(App.TunerControl, App.Transponder);
    if (!failed) return;
    ShowTunerError(failed);
    DestroyWindow(App.MainWindow);
}

void* QueryTunerOption(const GUID& iid) {
    void* face = nullptr;
    if (!App.TunerFilter) return nullptr;
    const HRESULT result = App.TunerFilter->QueryInterface(iid, &face);
    if (result == S_OK) return face;
    if (face) static_cast<IUnknown*>(face)->Release();
    return nullptr;
}

void ReleaseTunerControl() {
    if (App.TunerControl) {
        App.TunerControl->Release();
        App.TunerControl = nullptr;
    }
    if (App.TunerFilter) {
        App.TunerFilter->Release();
        App.TunerFilter = nullptr;
    }
}
