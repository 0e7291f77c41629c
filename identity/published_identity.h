// The satellite's identity as the poller publishes it for the other threads:
// the record and the line the window draws, worded once from the record, so
// that the phone display shows the very same words. Free of windows.h.
#pragma once
#include <atomic>
#include <cstdint>

#include "identity/identity_line.h"

struct ShownIdentity {
    SatelliteIdentity Record;
    char Line[kIdentityLineBytes] = {};  // FormatIdentityLine's; empty while nothing is known
};
static_assert(sizeof(ShownIdentity) % 4 == 0, "published in whole words");

// The record with its line.
ShownIdentity ShowIdentity(const SatelliteIdentity& identity);

// Published whole by its one writer (the poller) for readers on other threads
// (common/published_words.h).
struct PublishedIdentity {
    std::atomic<uint32_t> Sequence{0};
    std::atomic<uint32_t> Words[sizeof(ShownIdentity) / 4] = {};
};

void PublishIdentity(PublishedIdentity* published, const SatelliteIdentity& identity);
// Copies one publication, never a mix of two. Before the first publication
// every field is zero: Match is IdentityUnknown and the line empty.
ShownIdentity ReadPublishedIdentity(const PublishedIdentity& published);
