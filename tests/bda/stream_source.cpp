#include "stream_source.h"

#include <uuids.h>
#include <vfwmsgs.h>

#include <cstdlib>
#include <cstring>

#include "doubles_core.h"

namespace {

constexpr long kSamplePackets = 40;  // a BDA capture pin's samples are some kilobytes
constexpr long kSampleBytes = kSamplePackets * 188;
constexpr long kSampleBuffers = 8;

bool ParseCount(const std::string& text, uint32_t* value) {
    char* end = nullptr;
    const unsigned long v = std::strtoul(text.c_str(), &end, 10);
    if (text.empty() || *end != '\0' || v == 0 || v > 0xFFFFFFFFul) return false;
    *value = static_cast<uint32_t>(v);
    return true;
}

std::string ReadRecording(const std::string& path) {
    std::string bytes;
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return bytes;
    char chunk[65536];
    DWORD got = 0;
    while (ReadFile(file, chunk, sizeof chunk, &got, nullptr) && got > 0) bytes.append(chunk, got);
    CloseHandle(file);
    return bytes;
}

// The recordings of the script: the plain one first, then the gated ones,
// then those of tuned frequencies.
std::vector<std::string> ReadRecordings(const StreamShape& shape) {
    std::vector<std::string> recordings{ReadRecording(shape.Path)};
    for (const GatedRecording& gated : shape.Gated) recordings.push_back(ReadRecording(gated.Path));
    for (const TunedRecording& tuned : shape.Tuned) recordings.push_back(ReadRecording(tuned.Path));
    return recordings;
}

// Which recording the card delivers now: that of the last open gate, else
// that of the tuned frequency, else the plain one.
size_t CurrentRecording(const StreamShape& shape) {
    for (size_t i = shape.Gated.size(); i > 0; --i)
        if (ScriptGateOpen(shape.Gated[i - 1].Gate)) return i;
    for (size_t i = 0; i < shape.Tuned.size(); ++i)
        if (shape.Tuned[i].FrequencyKhz == TunedFrequencyKhz()) return shape.Gated.size() + 1 + i;
    return 0;
}

// Right after a tune request the stream of the transponder before is still
// in the driver's buffers: it goes on for the scripted lag.
bool OldStreamInFlight(const StreamShape& shape) { return shape.LagMs > 0 && MsSinceTune() < shape.LagMs; }

// One sample of the recording from `at`, wrapping round; false when the
// allocator gives no buffer (decommitted: the filter stops).
bool DeliverSample(StreamFeed* feed, const std::string& bytes, size_t* at, HRESULT* answer) {
    IMediaSample* sample = nullptr;
    if (FAILED(feed->Allocator->GetBuffer(&sample, nullptr, nullptr, 0)) || !sample) return false;
    BYTE* buffer = nullptr;
    sample->GetPointer(&buffer);
    const size_t room = static_cast<size_t>(sample->GetSize() < kSampleBytes ? sample->GetSize() : kSampleBytes);
    const size_t length = bytes.size() - *at < room ? bytes.size() - *at : room;
    std::memcpy(buffer, bytes.data() + *at, length);
    *at += length;
    sample->SetActualDataLength(static_cast<long>(length));
    *answer = feed->Peer->Receive(sample);
    sample->Release();
    return true;
}

DWORD WINAPI Push(void* context) {
    StreamFeed* feed = static_cast<StreamFeed*>(context);
    const StreamShape& shape = Script().Stream;
    const std::vector<std::string> recordings = ReadRecordings(shape);
    LogLine("%s#%d STREAM start %lu bytes", feed->Kind, feed->Id, static_cast<unsigned long>(recordings[0].size()));
    const DWORD pauseMs = static_cast<DWORD>(kSampleBytes / shape.KilobytesPerSecond);
    uint32_t samples = 0;
    size_t at = 0, current = 0;
    HRESULT answer = S_OK;
    while (!feed->Stop.load() && !recordings[current].empty()) {
        // A card delivers a stream only while its demodulator holds a lock.
        if (!SignalNow().Locked) {
            Sleep(pauseMs + 1);
            continue;
        }
        // Another satellite's stream under the same tune, or the stream of
        // a new tune once what was in flight is out: from its start.
        if (CurrentRecording(shape) != current && !OldStreamInFlight(shape)) {
            current = CurrentRecording(shape);
            at = 0;
            LogLine("%s#%d STREAM now recording %lu", feed->Kind, feed->Id, static_cast<unsigned long>(current));
            continue;
        }
        const std::string& bytes = recordings[current];
        if (at >= bytes.size()) {
            if (shape.Once) break;
            at = 0;
        }
        if (!DeliverSample(feed, bytes, &at, &answer)) break;
        if (++samples == 1)
            LogLine("%s#%d STREAM first sample 0x%08lX", feed->Kind, feed->Id, static_cast<unsigned long>(answer));
        if (shape.StopAfter && samples >= shape.StopAfter) break;
        Sleep(pauseMs);
    }
    LogLine("%s#%d STREAM stopped after %lu samples", feed->Kind, feed->Id, static_cast<unsigned long>(samples));
    return 0;
}

}  // namespace

bool ParseStreamLine(const std::vector<std::string>& w, StreamShape& stream) {
    if (w[0] == "stream" && w.size() == 4 && w[1] == "on") {
        stream.Gated.push_back({w[2], w[3]});
        return true;
    }
    uint32_t khz = 0;
    if (w[0] == "stream" && w.size() == 4 && w[1] == "tuned") {
        if (!ParseCount(w[2], &khz)) return false;
        stream.Tuned.push_back({static_cast<long>(khz), w[3]});
        return true;
    }
    if (w[0] != "stream" || w.size() < 2 || w.size() > 3) return false;
    if (w[1] == "stop-after" && w.size() == 3) return ParseCount(w[2], &stream.StopAfter);
    if (w[1] == "rate" && w.size() == 3) return ParseCount(w[2], &stream.KilobytesPerSecond);
    if (w[1] == "lag" && w.size() == 3) return ParseCount(w[2], &stream.LagMs);
    if (w.size() == 3 && w[2] != "once") return false;
    stream.Path = w[1];
    stream.Once = w.size() == 3;
    return true;
}

void AgreeStreamAllocator(StreamFeed* feed, IPin* receiver) {
    ReleaseStreamFeed(feed);
    if (Script().Stream.Path.empty() ||
        FAILED(receiver->QueryInterface(IID_IMemInputPin, reinterpret_cast<void**>(&feed->Peer))))
        return;
    // The receiver's allocator if it offers one, else DirectShow's own.
    if (FAILED(feed->Peer->GetAllocator(&feed->Allocator)) &&
        FAILED(CoCreateInstance(CLSID_MemoryAllocator, nullptr, CLSCTX_INPROC_SERVER, IID_IMemAllocator,
                                reinterpret_cast<void**>(&feed->Allocator)))) {
        ReleaseStreamFeed(feed);
        return;
    }
    ALLOCATOR_PROPERTIES wanted = {kSampleBuffers, kSampleBytes, 1, 0}, got = {};
    const HRESULT agreed = feed->Allocator->SetProperties(&wanted, &got);
    const HRESULT notified = SUCCEEDED(agreed) ? feed->Peer->NotifyAllocator(feed->Allocator, FALSE) : agreed;
    LogLine("%s#%d STREAM allocator 0x%08lX", feed->Kind, feed->Id, static_cast<unsigned long>(notified));
    if (FAILED(notified)) ReleaseStreamFeed(feed);
}

void StartStreamFeed(StreamFeed* feed) {
    if (!feed->Peer || feed->Thread || FAILED(feed->Allocator->Commit())) return;
    feed->Stop.store(false);
    feed->Thread = CreateThread(nullptr, 0, Push, feed, 0, nullptr);
}

void StopStreamFeed(StreamFeed* feed) {
    if (!feed->Thread) return;
    feed->Stop.store(true);
    feed->Allocator->Decommit();  // a thread waiting for a buffer gets none and ends
    WaitForSingleObject(feed->Thread, INFINITE);
    CloseHandle(feed->Thread);
    feed->Thread = nullptr;
}

void ReleaseStreamFeed(StreamFeed* feed) {
    StopStreamFeed(feed);
    if (feed->Allocator) feed->Allocator->Release();
    if (feed->Peer) feed->Peer->Release();
    feed->Allocator = nullptr;
    feed->Peer = nullptr;
}
