// The calls that ready the tuner adapter and set one transponder on it, in
// the program's fixed order, apart from how a failure is shown: the program
// shows the step's text in a message box, bdaprobe prints it.
#pragma once
#include "transponder/transponder.h"
#include "tuner/tuner_interface.h"

// InitializeControl, then the FEC code; the failing step's text, or null.
const char* ReadyTunerControl(ITunerControl* tuner);
// The band, oscillator, polarisation, symbol rate, frequency and DiSEqC code
// for the transponder; stops at the first failing step and returns its text,
// or null when every step succeeded.
const char* SetTransponder(ITunerControl* tuner, const Transponder& t);
