// The card doubles' transport stream: with a `stream` line in the script, the
// card filter whose output pin meets a pin that takes samples (the bridge's
// stream tap) pushes a recording through IMemInputPin::Receive on a thread of
// its own while it runs and the signal is locked, in samples of the card's
// allocator, as a BDA capture pin does. See README-contract.md.
#pragma once
#include <strmif.h>

#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

// A recording delivered instead while a file exists (a test's gate).
struct GatedRecording {
    std::string Gate;
    std::string Path;
};

// The recording of one transponder, delivered while it is the one tuned.
struct TunedRecording {
    long FrequencyKhz = 0;
    std::string Path;
};

struct StreamShape {
    std::string Path;         // the recording; empty: the card delivers no stream
    std::vector<GatedRecording> Gated;  // the last whose gate exists wins
    std::vector<TunedRecording> Tuned;  // by the latest tune request's frequency, unless a gate is open
    bool Once = false;        // play it once, else over and over
    uint32_t StopAfter = 0;   // stop after this many samples (0: never)
    uint32_t KilobytesPerSecond = 1000;
    uint32_t LagMs = 0;       // after a tune, the stream before goes on this long (a driver's buffers)
};

// stream PATH [once] | stream on GATE PATH | stream tuned KHZ PATH | stream lag MS |
// stream stop-after N | stream rate KB_PER_S
bool ParseStreamLine(const std::vector<std::string>& words, StreamShape& stream);

// One output pin's delivery: what the connection agreed and the thread.
struct StreamFeed {
    IMemInputPin* Peer = nullptr;
    IMemAllocator* Allocator = nullptr;
    HANDLE Thread = nullptr;
    std::atomic<bool> Stop{false};
    const char* Kind = "";  // the filter's log kind
    int Id = 0;
};

// The output pin met receiver: when the script has a stream and the receiver
// takes samples, agrees an allocator with it.
void AgreeStreamAllocator(StreamFeed* feed, IPin* receiver);
// The filter runs (start) or stops; the pin is disconnected (release).
void StartStreamFeed(StreamFeed* feed);
void StopStreamFeed(StreamFeed* feed);
void ReleaseStreamFeed(StreamFeed* feed);
