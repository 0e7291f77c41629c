#include "phone/phone_protocol.h"

#include <cstring>

#include "app/modes.h"
#include "common/utf8.h"

namespace {

constexpr size_t kNoLine = static_cast<size_t>(-1);

// The index of the '\n' that ends the line starting at 'from'.
size_t LineEnd(const char* bytes, size_t length, size_t from) {
    const void* found = from < length ? std::memchr(bytes + from, '\n', length - from) : nullptr;
    return found ? static_cast<size_t>(static_cast<const char*>(found) - bytes) : kNoLine;
}

// A line's length without its '\n' and an optional '\r' before it.
size_t Trimmed(const char* line, size_t length) {
    return length > 0 && line[length - 1] == '\r' ? length - 1 : length;
}

bool IsTokenChar(char c) {
    if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9')) return true;
    return c != '\0' && std::strchr("!#$%&'*+-.^_`|~", c) != nullptr;
}

char LowerCase(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool IsVisible(char c) { return c > 0x20 && c < 0x7F; }

// The bytes of a fixed field up to its first zero, at most its size.
size_t FieldLength(const char* text, size_t size) {
    size_t length = 0;
    while (length < size && text[length] != '\0') ++length;
    return length;
}

bool Equals(const char* text, size_t length, const char* word) {
    return length == std::strlen(word) && std::memcmp(text, word, length) == 0;
}

// "METHOD /target HTTP/1.x": the status it earns (200 when routable).
int CheckRequestLine(const char* line, size_t length, RequestHead* head) {
    size_t method = 0;
    while (method < length && IsTokenChar(line[method])) ++method;
    if (method == 0 || method == length || line[method] != ' ') return 400;
    size_t target = method + 1, targetEnd = target;
    while (targetEnd < length && IsVisible(line[targetEnd])) ++targetEnd;
    if (targetEnd == target || line[target] != '/' || targetEnd == length ||
        line[targetEnd] != ' ')
        return 400;
    const char* version = line + targetEnd + 1;
    const size_t versionLength = length - targetEnd - 1;
    if (!Equals(version, versionLength, "HTTP/1.1") && !Equals(version, versionLength, "HTTP/1.0"))
        return 400;
    if (!Equals(line, method, "GET") && !Equals(line, method, "HEAD")) return 405;
    const void* query = std::memchr(line + target, '?', targetEnd - target);
    if (query && static_cast<size_t>(line + targetEnd - static_cast<const char*>(query)) - 1 > kMaxQuery) return 414;
    head->Route = RoutePath(line + target, targetEnd - target, &head->Sound);
    return head->Route == RouteNone ? 404 : 200;
}

// "Name: value" with a token for a name and no control characters but tabs.
bool IsHeaderLine(const char* line, size_t length) {
    size_t name = 0;
    while (name < length && IsTokenChar(line[name])) ++name;
    if (name == 0 || name == length || line[name] != ':') return false;
    for (size_t i = name + 1; i < length; ++i) {
        const unsigned char c = static_cast<unsigned char>(line[i]);
        if ((c < 0x20 && c != '\t') || c == 0x7F) return false;
    }
    return true;
}

const char* const kSoundNames[kPhoneSoundCount] = {
    "TONE", "EN0", "EN1", "EN2", "EN3", "EN4", "EN5", "EN6", "EN7", "EN8", "EN9",
    "RU0",  "RU1", "RU2", "RU3", "RU4", "RU5", "RU6", "RU7", "RU8", "RU9"};

// "/sounds/NAME.wav" with NAME a sound's name in lower case.
int SoundOfPath(const char* path, size_t length) {
    static const char kPrefix[] = "/sounds/", kSuffix[] = ".wav";
    const size_t prefix = sizeof kPrefix - 1, suffix = sizeof kSuffix - 1;
    if (length <= prefix + suffix || std::memcmp(path, kPrefix, prefix) != 0 ||
        std::memcmp(path + length - suffix, kSuffix, suffix) != 0)
        return -1;
    const char* name = path + prefix;
    const size_t nameLength = length - prefix - suffix;
    for (int sound = 0; sound < kPhoneSoundCount; ++sound) {
        const char* upper = kSoundNames[sound];
        if (std::strlen(upper) != nameLength) continue;
        size_t i = 0;
        while (i < nameLength && name[i] == LowerCase(upper[i])) ++i;
        if (i == nameLength) return sound;
    }
    return -1;
}

const char* const kVideoPaths[kPhoneVideoCount] = {"/keep-awake.webm", "/keep-awake.mp4"};
const char* const kVideoNames[kPhoneVideoCount] = {"KEEPAWAKEWEBM", "KEEPAWAKEMP4"};
const char* const kVideoTypes[kPhoneVideoCount] = {"video/webm", "video/mp4"};

int VideoOfPath(const char* path, size_t length) {
    for (int video = 0; video < kPhoneVideoCount; ++video)
        if (Equals(path, length, kVideoPaths[video])) return video;
    return -1;
}

}  // namespace

PhoneRoute RoutePath(const char* path, size_t length, int* index) {
    const void* query = std::memchr(path, '?', length);
    if (query) length = static_cast<size_t>(static_cast<const char*>(query) - path);
    *index = -1;
    if (Equals(path, length, "/")) return RoutePage;
    if (Equals(path, length, "/events")) return RouteEvents;
    if (Equals(path, length, "/api/signal")) return RouteSignal;
    if (Equals(path, length, "/api/pointing")) return RoutePointing;
    if ((*index = VideoOfPath(path, length)) >= 0) return RouteVideo;
    *index = SoundOfPath(path, length);
    return *index >= 0 ? RouteSound : RouteNone;
}

RequestHead ScanRequestHead(const char* bytes, size_t length) {
    RequestHead head;
    const size_t lineEnd = LineEnd(bytes, length, 0);
    if (lineEnd == kNoLine || lineEnd > kMaxRequestLine) {
        if (lineEnd != kNoLine || length > kMaxRequestLine) head.Status = 414;
        return head;
    }
    const int status = CheckRequestLine(bytes, Trimmed(bytes, lineEnd), &head);
    if (status != 200) {
        head.Status = status;
        return head;
    }
    size_t at = lineEnd + 1;
    for (size_t lines = 0;; ++lines) {
        const size_t end = LineEnd(bytes, length, at);
        if ((end == kNoLine && length > kMaxRequestHead) || (end != kNoLine && end >= kMaxRequestHead) ||
            lines > kMaxHeaderLines) {
            head.Status = 431;
            return head;
        }
        if (end == kNoLine) return head;  // more to come
        const size_t lineLength = Trimmed(bytes + at, end - at);
        if (lineLength == 0) break;
        if (!IsHeaderLine(bytes + at, lineLength)) {
            head.Status = 400;
            return head;
        }
        at = end + 1;
    }
    head.Status = 200;
    head.Length = LineEnd(bytes, length, at) + 1;
    return head;
}

const char* StatusText(int status) {
    switch (status) {
    case 200: return "OK";
    case 400: return "Bad Request";
    case 404: return "Not Found";
    case 405: return "Method Not Allowed";
    case 408: return "Request Timeout";
    case 414: return "URI Too Long";
    case 431: return "Request Header Fields Too Large";
    case 503: return "Service Unavailable";
    default: return "Error";
    }
}

const char* SoundResourceName(int sound) {
    return sound >= 0 && sound < kPhoneSoundCount ? kSoundNames[sound] : nullptr;
}

const char* VideoResourceName(int video) {
    return video >= 0 && video < kPhoneVideoCount ? kVideoNames[video] : nullptr;
}

const char* VideoContentType(int video) {
    return video >= 0 && video < kPhoneVideoCount ? kVideoTypes[video] : nullptr;
}

void AppendJsonString(std::string* out, const char* text, size_t length) {
    static const char kHex[] = "0123456789abcdef";
    const unsigned char* bytes = reinterpret_cast<const unsigned char*>(text);
    out->push_back('"');
    for (size_t i = 0; i < length;) {
        const unsigned char c = bytes[i];
        uint32_t code;
        const size_t sequence = ReadUtf8(bytes + i, length - i, &code);
        if (sequence == 0) {
            out->append("\xEF\xBF\xBD");
            ++i;
        } else if (c == '"' || c == '\\') {
            out->push_back('\\');
            out->push_back(static_cast<char>(c));
            ++i;
        } else if (c < 0x20 || c == '<' || c == '>' || c == '&') {
            out->append("\\u00");
            out->push_back(kHex[c >> 4]);
            out->push_back(kHex[c & 15]);
            ++i;
        } else {
            out->append(text + i, sequence);
            i += sequence;
        }
    }
    out->push_back('"');
}

size_t CaptionLength(const char* caption) {
    size_t length = FieldLength(caption, kCaptionLength);
    while (length > 0 && caption[length - 1] == ' ') --length;
    return length;
}

namespace {

void AppendPosition(std::string* json, int16_t tenths) {
    char text[8];
    if (FormatPosition(tenths, text)) AppendJsonString(json, text, std::strlen(text));
    else json->append("null");
}

// A text field of the identity: its bytes up to the first zero, or null when empty.
void AppendIdentityText(std::string* json, const char* text, size_t size) {
    const size_t length = FieldLength(text, size);
    if (length > 0) AppendJsonString(json, text, length);
    else json->append("null");
}

// Where the broadcast says it comes from, its network's name, how that
// compares with the chosen list entry, and the line the window draws; null
// where unknown, and without a lock (ClaimedIdentity). Until anything is
// known the record is all zeros, and its zero positions mean nothing.
void AppendIdentity(std::string* json, const PhoneSnapshot& snapshot) {
    static const char* const kMatches[] = {"unknown", "alone", "confirmed", "mismatch"};
    const ShownIdentity shown = ClaimedIdentity(snapshot);
    json->append(",\"position\":");
    AppendPosition(json, shown.Record.Position);
    json->append(",\"network\":");
    AppendIdentityText(json, shown.Record.NetworkName, kNetworkNameBytes);
    json->append(",\"match\":\"");
    json->append(kMatches[shown.Record.Match]);
    json->append("\",\"expected\":");
    AppendPosition(json, shown.Record.Expected);
    json->append(",\"line\":");
    AppendIdentityText(json, shown.Line, kIdentityLineBytes);
}

// A reading of the card in percent, null where unknown; nothing is claimed
// without a lock, whatever the fields say.
void AppendReading(std::string* json, const char* name, int32_t percent, bool locked) {
    json->append(",\"").append(name).append("\":");
    if (locked && percent >= 0 && percent <= 100) json->append(std::to_string(percent));
    else json->append("null");
}

}  // namespace

std::string SignalJson(const PhoneSnapshot& snapshot, const std::string& captionUtf8) {
    // What the feedback thread plays for each mode: any other value is silence.
    const char* sound = snapshot.SoundMode == Tone    ? "tone"
                        : snapshot.SoundMode == Voice ? "voice"
                        : snapshot.SoundMode == Muted ? "muted" : "silent";
    std::string json = "{\"measuring\":";
    json += snapshot.Measuring ? "true" : "false";
    json += ",\"locked\":";
    json += snapshot.Locked ? "true" : "false";
    json += ",\"level\":" + std::to_string(snapshot.Level) + ",\"text\":";
    AppendJsonString(&json, snapshot.LevelText, FieldLength(snapshot.LevelText, 3));
    json += ",\"caption\":";
    AppendJsonString(&json, captionUtf8.data(), captionUtf8.size());
    json += ",\"sound\":\"";
    json += sound;
    json += snapshot.VoiceLanguage == Russian ? "\",\"language\":\"russian\"" : "\",\"language\":\"english\"";
    json += ",\"cadence\":" + std::to_string(snapshot.Cadence);
    const bool locked = MeasuringLocked(snapshot);
    AppendReading(&json, "strength", snapshot.Strength, locked);
    AppendReading(&json, "quality", snapshot.Quality, locked);
    AppendIdentity(&json, snapshot);
    json += "}";
    return json;
}

std::string SignalEvent(const std::string& json) { return "event: signal\ndata: " + json + "\n\n"; }

std::string EventStreamStart() { return "retry: 1000\n\n"; }
