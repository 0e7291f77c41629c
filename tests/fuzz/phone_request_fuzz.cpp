// The phone display's byte-level input from the network and from the
// program's resources: any bytes as a request head (the gate must stay inside
// them and decide consistently), as a pointing request's target (an answer or
// a refusal, one line of JSON, never a number that is not one), as a caption
// to escape (the JSON must stay one line), and as a WAV image to decode.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "phone/phone_protocol.h"
#include "phone/pointing_route.h"
#include "phone/wav_pcm.h"
#include "pointing/pointing_input.h"

namespace {

// A JSON string the escaper wrote: in quotes, on one line, without control
// characters.
bool OneJsonLine(const std::string& json) {
    if (json.size() < 2 || json.front() != '"' || json.back() != '"') return false;
    for (const char c : json)
        if (static_cast<unsigned char>(c) < 0x20) return false;
    return true;
}

// The pointing route's answer to the bytes as a target, for a program
// measuring an entry at 13.0E that sees 19.2E.
bool SoundPointingAnswer(const char* bytes, size_t size) {
    PhoneSnapshot snapshot;
    snapshot.Measuring = true;
    snapshot.Caption[0] = '1', snapshot.Caption[1] = '3', snapshot.Caption[2] = 'E';
    snapshot.Identity.Record.Position = 192;
    snapshot.Identity.Record.Match = IdentityMismatch;
    PointingDay today;
    MakePointingDay(2027, 6, 1, &today);
    const PointingAnswer answer = AnswerPointing(bytes, size, snapshot, &today);
    if ((answer.Status != 200 && answer.Status != 400) || answer.Json.empty() || answer.Json.front() != '{') return false;
    for (const char c : answer.Json)
        if (static_cast<unsigned char>(c) < 0x20) return false;
    return answer.Json.find("nan") == std::string::npos && answer.Json.find("inf") == std::string::npos;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const char* bytes = reinterpret_cast<const char*>(data);
    const RequestHead head = ScanRequestHead(bytes, size);
    if (head.Status == 200) {
        if (head.Length == 0 || head.Length > size || head.Route == RouteNone) abort();
        // The complete head decides alone: what follows it changes nothing.
        const RequestHead alone = ScanRequestHead(bytes, head.Length);
        if (alone.Status != 200 || alone.Route != head.Route || alone.Sound != head.Sound) abort();
        if (head.Route == RouteSound && !SoundResourceName(head.Sound)) abort();
        if (head.Route == RouteVideo && !VideoResourceName(head.Sound)) abort();
    }
    if (!SoundPointingAnswer(bytes, size)) abort();
    std::string json;
    AppendJsonString(&json, bytes, size);
    if (!OneJsonLine(json)) abort();
    std::string pcm;
    if (WavAsPcm(data, size, &pcm) && (pcm.size() < 44 || pcm.compare(0, 4, "RIFF") != 0)) abort();
    return 0;
}
