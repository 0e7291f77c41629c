// The phone display's own part of HTTP, free of any platform: the gate every
// request head passes before the HTTP library reads it (methods, paths and
// size limits), and the texts the server sends (the JSON snapshot and the
// Server-Sent Events).
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

#include "phone/phone_feed.h"

// Limits of a request head: its first line, its header lines, and all of it.
constexpr size_t kMaxRequestLine = 1024;
constexpr size_t kMaxHeaderLines = 40;
constexpr size_t kMaxRequestHead = 8192;
// The longest query a request may carry (after '?'), on any path: only the
// pointing route reads one, and it needs far less.
constexpr size_t kMaxQuery = 512;
// Clients served at once; one more is told 503 and let go.
constexpr int kMaxPhoneClients = 16;
// A request head must be complete this long after the connection opened.
constexpr int kRequestHeadSeconds = 5;
// How often an event stream looks for a change, and how long it stays quiet
// at most: the page takes a second without news for a PC that is gone.
constexpr int kEventPollMilliseconds = 50;
constexpr int kEventHeartbeatMilliseconds = 1000;

enum PhoneRoute { RouteNone, RoutePage, RouteEvents, RouteSignal, RouteSound, RouteVideo, RoutePointing };

// What the gate made of the bytes received so far. Status 0: the head is not
// complete yet and within its limits; 200: a GET or HEAD of a known path;
// else the answer to give (400, 404, 405, 414 or 431) before closing; 414
// also for a query longer than kMaxQuery.
// (The server adds 408 for a head that is too slow and 503 over the limit.)
struct RequestHead {
    int Status = 0;
    PhoneRoute Route = RouteNone;
    int Sound = -1;  // RouteSound: the sound's index in SoundResourceName; RouteVideo: the video's
    size_t Length = 0;  // bytes of the complete head
};

RequestHead ScanRequestHead(const char* bytes, size_t length);
// The route of a request target (its query, if any, is left to the route),
// with the index of the sound or video it names.
PhoneRoute RoutePath(const char* path, size_t length, int* index);
const char* StatusText(int status);

// The sounds the page may play, by index: 0 the tone, 1 to 10 the English
// digits 0 to 9, 11 to 20 the Russian ones. Their paths are /sounds/NAME.wav
// with NAME in lower case; their resources carry NAME in capitals.
constexpr int kPhoneSoundCount = 21;
const char* SoundResourceName(int sound);

// The video that keeps the screen on where the browser has no wake lock, by
// index: 0 /keep-awake.webm (VP8), 1 /keep-awake.mp4 (H.264).
constexpr int kPhoneVideoCount = 2;
const char* VideoResourceName(int video);
const char* VideoContentType(int video);

// The snapshot as the JSON object of /api/signal and of each event.
std::string SignalJson(const PhoneSnapshot& snapshot, const std::string& captionUtf8);
// One Server-Sent Event carrying that object.
std::string SignalEvent(const std::string& json);
// What an event stream starts with: the reconnection delay it asks for.
std::string EventStreamStart();
// Appends text as a JSON string: quotes, backslashes, control characters and
// <, >, & escaped; a byte sequence that is not UTF-8 becomes U+FFFD.
void AppendJsonString(std::string* out, const char* text, size_t length);
// The caption's meaningful part: its bytes up to the first zero, without
// trailing blanks.
size_t CaptionLength(const char* caption);
