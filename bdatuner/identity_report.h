// What `bdaprobe --identify FILE` prints about a recording, and the reading
// of the recording itself: platform-free, so the same lines are checked
// natively. Every line is UTF-8.
#pragma once
#include <cstddef>
#include <cstdio>

#include "identity/broadcast_identity.h"

// The exit codes: a position was read; a transport stream without one;
// no transport stream (missing, empty, or no packet sync anywhere).
constexpr int kIdentifyPosition = 0;
constexpr int kIdentifyNoPosition = 1;
constexpr int kIdentifyNoStream = 2;

// Room for every line with the longest names.
constexpr size_t kIdentityReportBytes = 1024;

// The five lines, each ending in '\n':
//   position: 13.0E            position: unknown
//   network: Mediaset          network: unknown (no NIT, or it names none)
//   network id: 272            network id: unknown (no NIT)
//   transport stream: 6000 (original network 272)   transport stream: unknown (no SDT)
//   services: A, B, C          services: none (an SDT naming none); services: unknown (no SDT)
// Returns the text's length.
size_t FormatIdentityReport(const BroadcastIdentity& identity, char* text, size_t size);
int IdentifyExitCode(const BroadcastIdentity& identity);
// Reads the stream from file in chunks of chunkBytes (buffer), stopping
// early once every section of both tables has arrived.
BroadcastIdentity IdentifyStream(std::FILE* file, unsigned char* buffer, size_t chunkBytes);
