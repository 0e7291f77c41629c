// The tuner card's filter and its control interface, held in AppState.
#pragma once
#include <windows.h>

// Creates the filter, gets its control interface, readies it and sets the FEC.
// Returns true when it failed (its message, if it has one, has been shown).
bool CreateTunerControl();
// Sets the current Transponder on the card in the fixed order. A failed step
// shows its message and destroys the window; no further step is issued.
void TuneTransponder();
// One of the filter's optional interfaces of our own, or null when it has
// none: only S_OK with a pointer counts, and another success code's pointer
// is let go.
void* QueryTunerOption(const GUID& iid);
// Releases the control interface, then the filter, each only if held.
void ReleaseTunerControl();
