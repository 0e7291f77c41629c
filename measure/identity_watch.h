// The program's side of the tuner's optional identity interface: asked for
// once a transponder is tuned, read by the signal poller about once a second
// while measuring, and published whole in AppState::Identity for the window
// and the phone display. Without the interface nothing is ever published
// but "unknown", and the poller does nothing more than before.
#pragma once
#include <windows.h>

#include "identity/identity_record.h"
#include "measure/identity_trust.h"

// The poller's own record of what it last published.
struct IdentityWatch {
    ULONGLONG NextAskMs = 0;
    IdentityTrust Trust;
    SatelliteIdentity Shown;
};

// UI thread, after tuning, before the measuring threads start: takes the
// filter's identity interface if it has one and it is not held yet.
void QueryTunerIdentity();
// The poller, before its first pass: unknown, with the position the chosen
// list entry names (none for a typed transponder).
IdentityWatch StartIdentityWatch();
// The poller, every pass, with the lock it has just read: asks the interface
// when a second has passed (every pass while the component has yet to say
// that it knows nothing, see measure/identity_trust.h), and publishes what
// may be claimed when it differs from what is shown, asking for the line to
// be drawn again. Without a lock nothing is claimed, from that pass on. The
// poller calls it after publishing a lock it found and before withdrawing one
// it lost, so that the identity and the lock are never published apart.
void WatchIdentity(IdentityWatch* watch, bool locked);
// The poller, as the measurement ends: unknown again.
void EndIdentityWatch();
// Shutdown, before the tuner-control interface is released.
void ReleaseTunerIdentity();
