// Hands the identity reader only the packets it reads (the NIT's and the
// SDT's) out of a transport stream's samples: a transponder carries tens of
// megabits a second of pictures and sound that the reader would otherwise
// have to look at. Free of windows.h.
#pragma once
#include <cstddef>
#include <cstdint>

struct IdentityReader;

constexpr uint16_t kNitPid = 0x10;
constexpr uint16_t kSdtPid = 0x11;

// Aligned packets (sync byte 0x47 every 188 bytes from the start) are picked
// by their PID; from the first byte where that pattern breaks (a sample
// starting or ending inside a packet, stray bytes) the rest is fed whole, and
// the reader finds its sync itself. Returns how many bytes were fed.
size_t FeedTablePackets(IdentityReader* reader, const uint8_t* bytes, size_t count);
