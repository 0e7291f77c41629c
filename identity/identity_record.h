// Which satellite the received broadcast says it comes from, as the program
// holds it while measuring: read from the tuner component's optional identity
// interface by the poller and compared with the chosen list entry
// (identity_line.h), then published for the window and the phone display
// (published_identity.h). Free of windows.h.
#pragma once
#include <cstdint>

#include "common/orbital_position.h"

// UTF-8 with its terminator; longer names are cut at a character boundary.
constexpr int kNetworkNameBytes = 64;

// What the identity says against the list entry the measurement started from.
enum IdentityMatch : uint8_t {
    IdentityUnknown = 0,    // nothing known yet (or no identity interface): show nothing
    IdentityAlone = 1,      // known, but a typed transponder has no position to compare
    IdentityConfirmed = 2,  // within 0.3 degrees of the entry's position
    IdentityMismatch = 3,   // another satellite
};

struct SatelliteIdentity {
    int16_t Position = kPositionUnknown;  // from the broadcast
    int16_t Expected = kPositionUnknown;  // from the end of the list entry's name
    uint8_t Match = IdentityUnknown;
    uint8_t Reserved = 0;
    uint16_t NetworkId = 0;
    uint16_t OriginalNetworkId = 0;
    uint16_t TransportStreamId = 0;
    char NetworkName[kNetworkNameBytes] = {};  // empty: unknown
};
