// What bdaprobe prints, while it measures, of the broadcast the card
// receives: who the satellite says it is, once known, and the transponders
// its NIT lists there, as they are typed on Zentrik's keypad.
#pragma once
#include <windows.h>
#include <wrl/client.h>

#include "bdatuner/bda_identity.h"

struct BroadcastWatch {
    Microsoft::WRL::ComPtr<IBdaIdentityProbe> Probe;  // the bridge's, when it offers it
    int16_t ShownPosition = kPositionUnknown;
    int ShownTransponders = 0;
    ULONGLONG StreamBytes = 0;
};

// Prints the identity and the transponder list when they are new or changed.
void PrintBroadcastNews(BroadcastWatch* watch);
// At the end: a word on a stream that never told its satellite.
void PrintBroadcastOutcome(const BroadcastWatch& watch);
// A listed transponder as the keypad takes it: "11919V29900".
void KeypadLine(const ListedTransponder& transponder, char text[16]);
