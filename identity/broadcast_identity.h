// Reads who a DVB satellite says it is from the transport stream it sends:
// the NIT actual (PID 0x10) for the network's name and the orbital positions
// of its satellite delivery descriptors, the SDT actual (PID 0x11) for the
// ids of the stream being received and its service names (ETSI EN 300 468).
// Fed any slices of the stream, in order; free of windows.h and of the heap
// after it is set up, so it builds natively for the sanitizers and fuzzers.
#pragma once
#include <cstddef>
#include <cstdint>
#include <memory>

#include "identity/identity_record.h"

constexpr int kServiceNameBytes = 64;   // UTF-8 with its terminator
constexpr int kMaxIdentityServices = 8;
constexpr int kMaxListedTransponders = 64;

// One transponder as a satellite delivery system descriptor gives it.
struct ListedTransponder {
    uint16_t TransportStreamId = 0;
    uint16_t OriginalNetworkId = 0;
    int16_t Position = kPositionUnknown;  // tenths of a degree, east positive
    uint32_t FrequencyKhz = 0;  // 11919000 for 11919 MHz (the BCD's 10 kHz steps)
    char Polarisation = 'H';    // 'H', 'V', 'L' or 'R'
    bool DvbS2 = false;
    uint8_t Modulation = 1;     // as the descriptor codes it: 1 QPSK, 2 8PSK, 3 16QAM, 0 auto
    uint8_t RollOff = 0;        // DVB-S2 only, as coded: 0 0.35, 1 0.25, 2 0.20
    uint32_t SymbolRate = 0;    // symbols per second
};

// What has been read so far. A field stays at its default until the tables
// that carry it have arrived.
struct BroadcastIdentity {
    int16_t Position = kPositionUnknown;
    bool Synchronised = false;  // packet sync was found: the bytes are a transport stream
    bool Complete = false;      // every section of the NIT actual and the SDT actual is in, of one stream
    bool HaveNit = false;       // a NIT actual section arrived
    bool HaveSdt = false;       // an SDT actual section arrived
    uint16_t NetworkId = 0;     // the NIT's
    uint16_t TransportStreamId = 0;  // the SDT actual's: the stream being received
    uint16_t OriginalNetworkId = 0;
    char NetworkName[kNetworkNameBytes] = {};
    int ServiceCount = 0;
    char Services[kMaxIdentityServices][kServiceNameBytes] = {};
    // The transponders the NIT actual lists at the received position.
    int TransponderCount = 0;
    ListedTransponder Transponders[kMaxListedTransponders];
};

struct IdentityReader;  // the demultiplexing and section state, opaque
struct IdentityReaderDeleter { void operator()(IdentityReader* reader) const; };
using IdentityReaderPtr = std::unique_ptr<IdentityReader, IdentityReaderDeleter>;

// Null when there is no memory for it (it never throws: COM objects make it).
IdentityReaderPtr CreateIdentityReader();
// Forgets everything read (a new transponder was tuned, the lock went).
void ResetIdentityReader(IdentityReader* reader);
// Takes the next bytes of the stream: any length, packets split anywhere,
// stray or lost bytes tolerated (sync is found again). Two transport streams'
// tables are never combined: a NIT of another network, or an SDT of another
// transport stream or original network, than those read so far ends what
// both tables said (the stream changed under the same tune).
void FeedTransportStream(IdentityReader* reader, const uint8_t* bytes, size_t count);
// What the tables read so far say. A NIT alone gives the position all its
// satellite delivery descriptors agree on. With an SDT the position is
// known only once the two are known to be one stream's: the NIT lists the
// stream the SDT names (its position is then that entry's), or else each
// table has come again since the other first arrived; until then it is
// unknown, whatever each table says alone.
BroadcastIdentity ReadBroadcastIdentity(const IdentityReader& reader);
