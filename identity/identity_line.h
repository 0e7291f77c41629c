// The one line the measuring view shows about the received satellite: where
// the list entry says the dish should point, compared with where the
// broadcast says it comes from, and the words for it. Free of windows.h.
#pragma once
#include <cstddef>
#include <cstdint>

#include "identity/identity_record.h"

// Two positions within this many tenths of a degree are the same satellite:
// co-located satellites share a slot a few tenths wide.
constexpr int kSameSlotTenths = 3;

// The orbital position a list entry's name ends with ("HotBird1-6   13.0e",
// "AMC1 103.0w"), trailing spaces and a missing terminator allowed; tenths,
// east positive. kPositionUnknown when the name ends otherwise.
int16_t PositionFromCaption(const char* caption, size_t length);

// How far the wanted position lies from the found one along the arc of
// satellites, in tenths of a degree: east positive, the short way round,
// across the 180-degree meridian too (179.9W lies 0.2 east of 179.9E).
int ArcTenths(int16_t found, int16_t wanted);

// Within kSameSlotTenths of each other along the arc: one satellite, nothing
// to turn.
bool SameSlot(int16_t found, int16_t wanted);

// Fills Match from Position and Expected: unknown while the broadcast's
// position is; alone when there is nothing to compare with (a typed
// transponder, a name without a position); else confirmed within
// kSameSlotTenths, across the 180-degree meridian too, or a mismatch.
void CompareIdentity(SatelliteIdentity* identity);

// For a mismatch, which way the wanted satellite lies from the one the dish
// sees, along the arc of satellites (the same in both hemispheres, and the
// way the dish turns on a compass too): "turn east" or "turn west"; empty
// for anything else.
const char* TurnWords(const SatelliteIdentity& identity);

// Room for the longest line: the words, two positions and the longest name.
constexpr size_t kIdentityLineBytes = 32 + kNetworkNameBytes;

// The line in UTF-8, empty when nothing is known:
//   alone      "19.2E ASTRA 1"
//   confirmed  "13.0E confirmed: Mediaset"
//   mismatch   "not 13.0E: this is 19.2E, ASTRA 1"
// A network without a name leaves the name and its separator out.
void FormatIdentityLine(const SatelliteIdentity& identity, char text[kIdentityLineBytes]);
