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
    const std::string bytes = ReadRecording(shape.Path);
    LogLine("%s#%d STREAM start %lu bytes", feed->Kind, feed->Id, static_cast<unsigned long>(bytes.size()));
    const DWORD pauseMs = static_cast<DWORD>(kSampleBytes / shape.KilobytesPerSecond);
    uint32_t samples = 0;
    size_t at = 0;
    HRESULT answer = S_OK;
    while (!feed->Stop.load() && !bytes.empty()) {
        // A card delivers a stream only while its demodulator holds a lock.
        if (!SignalNow().Locked) {
            Sleep(pauseMs + 1);
            continue;
        }
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
    if (w[0] != "stream" || w.size() < 2 || w.size() > 3) return false;
    if (w[1] == "stop-after" && w.size() == 3) return ParseCount(w[2], &stream.StopAfter);
    if (w[1] == "rate" && w.size() == 3) return ParseCount(w[2], &stream.KilobytesPerSecond);
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
