// Which satellite the received broadcast says it comes from, as the program
// holds it while measuring: read from the tuner component's optional identity
// interface by the poller, compared with the chosen list entry, and published
// whole for the window and the phone display. Free of windows.h.
#pragma once
#include <atomic>
#include <cstdint>

// Orbital positions are tenths of a degree, east positive, west negative.
constexpr int16_t kPositionUnknown = INT16_MIN;
// "13.0E", "30.0W"; "unknown" for kPositionUnknown or a value past 180
// degrees. text holds 8 bytes.
void FormatPosition(int16_t position, char text[8]);

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
static_assert(sizeof(SatelliteIdentity) % 4 == 0, "published in whole words");

// Published whole by its one writer (the poller) for readers on other threads
// (app/published_words.h).
struct PublishedIdentity {
    std::atomic<uint32_t> Sequence{0};
    std::atomic<uint32_t> Words[sizeof(SatelliteIdentity) / 4] = {};
};

void PublishIdentity(PublishedIdentity* published, const SatelliteIdentity& identity);
// Copies one publication, never a mix of two. Before the first publication
// it reads an identity with every field zero (Match is IdentityUnknown).
SatelliteIdentity ReadPublishedIdentity(const PublishedIdentity& published);
