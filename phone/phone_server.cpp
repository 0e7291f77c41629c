// ZentrikPhone.dll: the phone display's server. It runs on threads of its own
// (the HTTP library's listener and workers), reads only the fields the program
// publishes through the PhoneFeed, and never calls the tuner or writes to the
// program. Every connection passes the request gate (phone_protocol) before
// the library reads it, one request a connection.
#include <winsock2.h>
#include <ws2tcpip.h>
#include <iphlpapi.h>
#include <windows.h>

#include <atomic>
#include <cstdio>
#include <memory>
#include <string>
#include <thread>

// Connections waiting for the accept. With the library's 5, a burst of
// clients connecting at once had some of its connection attempts dropped:
// those clients waited unanswered, where they should be served or told 503.
#define CPPHTTPLIB_LISTEN_BACKLOG 64
#include "httplib.h"
#include "phone/phone_feed.h"
#include "phone/phone_protocol.h"
#include "phone/pointing_route.h"
#include "pointing/pointing_input.h"
#include "phone/wav_pcm.h"

namespace {

// Workers: one per client served, and a few more that answer the clients
// over the limit with 503 at once.
constexpr int kWorkerThreads = kMaxPhoneClients + 4;
// How long a refused client is given to take its answer before the close.
constexpr DWORD kLingerMilliseconds = 500;

// The server's one state record.
struct PhoneServerState {
    PhoneFeed Feed = {};
    httplib::Server* Http = nullptr;
    std::thread Listener;
    std::atomic<bool> Stopping{false};
    std::atomic<int> Clients{0};
    HMODULE Module = nullptr;
    std::string Page;
    std::string Sounds[kPhoneSoundCount];
    std::string Videos[kPhoneVideoCount];
    uint16_t Port = 0;
};
PhoneServerState Phone;

// An RCDATA resource of a module as text; empty when missing.
std::string ModuleResource(HMODULE module, const char* name) {
    HRSRC found = FindResourceA(module, name, MAKEINTRESOURCEA(10));
    if (!found) return std::string();
    const void* bytes = LockResource(LoadResource(module, found));
    return bytes ? std::string(static_cast<const char*>(bytes), SizeofResource(module, found)) : std::string();
}

// The program's own sounds, from the exe that loaded us, as browsers play them.
void LoadSounds() {
    HMODULE program = GetModuleHandleA(nullptr);
    for (int sound = 0; sound < kPhoneSoundCount; ++sound) {
        const std::string image = ModuleResource(program, SoundResourceName(sound));
        WavAsPcm(reinterpret_cast<const uint8_t*>(image.data()), image.size(), &Phone.Sounds[sound]);
    }
}

// The caption's bytes are in the PC's ANSI code page; the page wants UTF-8.
std::string CaptionUtf8(const PhoneSnapshot& snapshot) {
    const int length = static_cast<int>(CaptionLength(snapshot.Caption));
    wchar_t wide[kCaptionLength];
    const int wideLength = MultiByteToWideChar(CP_ACP, 0, snapshot.Caption, length, wide, kCaptionLength);
    char utf8[kCaptionLength * 3];
    const int utf8Length = WideCharToMultiByte(CP_UTF8, 0, wide, wideLength, utf8, sizeof utf8, nullptr, nullptr);
    return std::string(utf8, utf8Length > 0 ? utf8Length : 0);
}

std::string CurrentJson(PhoneSnapshot* snapshot) {
    *snapshot = TakePhoneSnapshot(Phone.Feed);
    return SignalJson(*snapshot, CaptionUtf8(*snapshot));
}

// Sends the snapshot as it is now, after 'before' (the stream's start, once),
// and keeps it as the last one sent.
bool SendSnapshot(httplib::DataSink& sink, PhoneSnapshot* last, const std::string& before) {
    const std::string event = before + SignalEvent(CurrentJson(last));
    return sink.write(event.data(), event.size());
}

// One event stream: the snapshot whenever it changes (looked at every 50 ms)
// and at least once a second, until the client leaves or the server stops.
void ServeEvents(httplib::Response& response) {
    response.set_header("Cache-Control", "no-store");
    auto last = std::make_shared<PhoneSnapshot>();
    auto started = std::make_shared<bool>(false);
    response.set_chunked_content_provider(
        "text/event-stream", [last, started](size_t, httplib::DataSink& sink) {
            if (!*started) {
                *started = true;
                return SendSnapshot(sink, last.get(), EventStreamStart());
            }
            for (int waited = 0; waited < kEventHeartbeatMilliseconds; waited += kEventPollMilliseconds) {
                if (Phone.Stopping.load() || !sink.is_writable()) return false;
                Sleep(kEventPollMilliseconds);
                if (!SameSnapshot(TakePhoneSnapshot(Phone.Feed), *last)) break;
            }
            return !Phone.Stopping.load() && SendSnapshot(sink, last.get(), std::string());
        });
}

// A sound or the keep-awake video; a resource the module lacks is not found,
// rather than an empty answer a browser would try to play.
void ServeResource(httplib::Response& response, const std::string& bytes, const char* type) {
    if (bytes.empty()) {
        response.status = 404;
        return;
    }
    response.set_header("Cache-Control", "max-age=3600");
    response.set_content(bytes, type);
}

// Where to point the dish from the place the phone sends, for today's UTC
// day unless it names one; nothing of it is kept.
void ServePointing(const httplib::Request& request, httplib::Response& response) {
    SYSTEMTIME now;
    GetSystemTime(&now);
    PointingDay today;
    const bool dated = MakePointingDay(now.wYear, now.wMonth, now.wDay, &today);
    const PhoneSnapshot snapshot = TakePhoneSnapshot(Phone.Feed);
    const PointingAnswer answer =
        AnswerPointing(request.target.data(), request.target.size(), snapshot, dated ? &today : nullptr);
    response.status = answer.Status;
    response.set_header("Cache-Control", "no-store");
    response.set_content(answer.Json, "application/json");
}

// Every request that passed the gate: the page, the snapshot, the events, the
// pointing, a sound or the keep-awake video (whose byte ranges, which Safari asks for
// before it plays a video, the library answers from the whole).
void ServeRequest(const httplib::Request& request, httplib::Response& response) {
    int index = -1;
    switch (RoutePath(request.path.data(), request.path.size(), &index)) {
    case RoutePage:
        response.set_header("Cache-Control", "no-store");
        response.set_content(Phone.Page, "text/html; charset=utf-8");
        break;
    case RouteSignal: {
        PhoneSnapshot snapshot;
        response.set_header("Cache-Control", "no-store");
        response.set_content(CurrentJson(&snapshot), "application/json");
        break;
    }
    case RouteEvents: ServeEvents(response); break;
    case RoutePointing: ServePointing(request, response); break;
    case RouteVideo:
        if (!Phone.Videos[index].empty()) response.set_header("Accept-Ranges", "bytes");
        ServeResource(response, Phone.Videos[index], VideoContentType(index));
        break;
    case RouteSound: ServeResource(response, Phone.Sounds[index], "audio/wav"); break;
    default: response.status = 404; break;
    }
}

// Answers a refused connection and closes it. Its unread request is drained
// for a moment first: closing over unread bytes resets the connection, and
// the client would lose the answer.
void Refuse(SOCKET socket, int status) {
    if (status > 0) {
        char answer[160];
        const int length = std::snprintf(answer, sizeof answer,
                                         "HTTP/1.1 %d %s\r\nContent-Length: 0\r\nConnection: close\r\n\r\n",
                                         status, StatusText(status));
        send(socket, answer, length, 0);
    }
    shutdown(socket, SD_SEND);
    const ULONGLONG until = GetTickCount64() + kLingerMilliseconds;
    char discard[1024];
    u_long nonBlocking = 1;
    ioctlsocket(socket, FIONBIO, &nonBlocking);
    while (GetTickCount64() < until) {
        const int got = recv(socket, discard, sizeof discard, 0);
        if (got == 0 || (got < 0 && WSAGetLastError() != WSAEWOULDBLOCK)) break;
        if (got < 0) Sleep(10);
    }
    closesocket(socket);
}

// Looks at what the client has sent, without taking it, until the gate
// decides: the head complete and allowed (200), refused (its status), too
// slow (408), or the client gone or the server stopping (0).
RequestHead AwaitRequestHead(SOCKET socket) {
    char bytes[kMaxRequestHead + 1];
    const ULONGLONG deadline = GetTickCount64() + kRequestHeadSeconds * 1000ULL;
    RequestHead head;
    int seen = 0;
    while (!Phone.Stopping.load()) {
        if (GetTickCount64() >= deadline) {
            head.Status = 408;
            return head;
        }
        fd_set readable;
        FD_ZERO(&readable);
        FD_SET(socket, &readable);
        timeval wait = {0, 100 * 1000};
        if (select(0, &readable, nullptr, nullptr, &wait) <= 0) continue;
        const int got = recv(socket, bytes, sizeof bytes, MSG_PEEK);
        if (got <= 0) break;
        if (got == seen) {
            Sleep(20);  // nothing new yet: the peeked bytes stay readable
            continue;
        }
        seen = got;
        head = ScanRequestHead(bytes, static_cast<size_t>(got));
        if (head.Status != 0) return head;
    }
    head.Status = 0;
    return head;
}

// The server's threads run below the window's and the measuring threads'
// priority: however many clients there are, the window and the poller get the
// processor first.
void KeepBehindTheWindow() { SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_BELOW_NORMAL); }

// The HTTP library with the gate and the client limit in front of it. The
// library hands each accepted connection to this one overridable step on a
// worker thread; what follows the gate is the library's own handling of the
// connection, as its default step does it.
struct GatedServer : httplib::Server {
    bool process_and_close_socket(socket_t socket) override {
        KeepBehindTheWindow();
        bool served = false;
        if (Phone.Clients.fetch_add(1) >= kMaxPhoneClients) {
            Refuse(socket, 503);
        } else if (const RequestHead head = AwaitRequestHead(socket); head.Status != 200) {
            Refuse(socket, head.Status);
        } else {
            served = httplib::detail::process_server_socket(
                svr_sock_, socket, keep_alive_max_count_, keep_alive_timeout_sec_, read_timeout_sec_,
                read_timeout_usec_, write_timeout_sec_, write_timeout_usec_,
                [this](httplib::Stream& stream, bool close, bool& closed) {
                    return process_request(stream, close, closed, nullptr);
                });
            httplib::detail::shutdown_socket(socket);
            httplib::detail::close_socket(socket);
        }
        Phone.Clients.fetch_sub(1);
        return served;
    }
};

// Only this server may listen on the port: without exclusive use, Windows
// would let another program take over the port, or us take over its.
void ExclusivePort(socket_t socket) {
    int yes = 1;
    setsockopt(socket, SOL_SOCKET, SO_EXCLUSIVEADDRUSE, reinterpret_cast<char*>(&yes), sizeof yes);
}

void ConfigureServer(GatedServer* server) {
    server->new_task_queue = [] { return new httplib::ThreadPool(kWorkerThreads); };
    server->set_socket_options(ExclusivePort);
    server->set_keep_alive_max_count(1);
    server->set_read_timeout(kRequestHeadSeconds, 0);
    server->set_write_timeout(5, 0);
    server->set_payload_max_length(0);
    server->set_pre_routing_handler([](const httplib::Request& request, httplib::Response& response) {
        ServeRequest(request, response);
        return httplib::Server::HandlerResponse::Handled;
    });
}

}  // namespace

extern "C" __declspec(dllexport) int32_t StartPhoneServer(const PhoneFeed* feed, uint16_t port) {
    if (!feed || feed->Version != kPhoneFeedVersion || feed->Size < sizeof(PhoneFeed)) return PhoneWrongFeed;
    if (Phone.Http) return PhoneStarted;
    WSADATA data;
    if (WSAStartup(MAKEWORD(2, 2), &data) != 0) return PhoneNoNetwork;
    Phone.Feed = *feed;
    Phone.Port = port;
    Phone.Page = ModuleResource(Phone.Module, "PHONEPAGE");
    for (int video = 0; video < kPhoneVideoCount; ++video)
        Phone.Videos[video] = ModuleResource(Phone.Module, VideoResourceName(video));
    LoadSounds();
    GatedServer* server = new GatedServer;
    ConfigureServer(server);
    if (!server->bind_to_port("0.0.0.0", port)) {
        delete server;
        WSACleanup();
        return PhonePortInUse;
    }
    Phone.Stopping.store(false);
    Phone.Http = server;
    Phone.Listener = std::thread([server] {
        KeepBehindTheWindow();
        server->listen_after_bind();
    });
    return PhoneStarted;
}

extern "C" __declspec(dllexport) void StopPhoneServer() {
    if (!Phone.Http) return;
    Phone.Stopping.store(true);
    Phone.Http->stop();
    if (Phone.Listener.joinable()) Phone.Listener.join();
    delete Phone.Http;
    Phone.Http = nullptr;
    WSACleanup();
}

// The addresses a phone on the same network types: one line for each IPv4
// address of a working network adapter, loopback and self-assigned ones left
// out.
extern "C" __declspec(dllexport) void PhoneServerAddresses(char* text, uint32_t size) {
    if (!text || size == 0) return;
    text[0] = '\0';
    ULONG length = 16 * 1024;
    std::string buffer(length, '\0');
    auto* adapters = reinterpret_cast<IP_ADAPTER_ADDRESSES*>(&buffer[0]);
    const ULONG flags = GAA_FLAG_SKIP_ANYCAST | GAA_FLAG_SKIP_MULTICAST | GAA_FLAG_SKIP_DNS_SERVER;
    if (GetAdaptersAddresses(AF_INET, flags, nullptr, adapters, &length) != NO_ERROR) adapters = nullptr;
    std::string lines;
    for (auto* adapter = adapters; adapter; adapter = adapter->Next) {
        if (adapter->OperStatus != IfOperStatusUp || adapter->IfType == IF_TYPE_SOFTWARE_LOOPBACK) continue;
        for (auto* address = adapter->FirstUnicastAddress; address; address = address->Next) {
            const auto* ip = reinterpret_cast<const sockaddr_in*>(address->Address.lpSockaddr);
            const uint8_t* b = reinterpret_cast<const uint8_t*>(&ip->sin_addr);
            if (ip->sin_family != AF_INET || b[0] == 127 || (b[0] == 169 && b[1] == 254)) continue;
            char line[48];
            std::snprintf(line, sizeof line, "http://%u.%u.%u.%u:%u/\n", b[0], b[1], b[2], b[3], Phone.Port);
            lines += line;
        }
    }
    if (lines.empty()) lines = "(no network address found; port " + std::to_string(Phone.Port) + ")\n";
    std::snprintf(text, size, "%s", lines.c_str());
}

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) Phone.Module = instance;
    return TRUE;
}
