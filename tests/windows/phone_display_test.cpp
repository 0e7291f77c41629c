// The phone display seen from inside the program: the switch, what the poller
// and the start publish, the server's answers over them, the About box, and
// the window's pace while clients come and go.
#include <winsock2.h>
#include <windows.h>
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

#include "app/actions.h"
#include "app/app_state.h"
#include "import_hook.h"
#include "message_box_watcher.h"
#include "phone/phone_display.h"
#include "phone/phone_feed.h"
#include "sim_tuner_support.h"
#include "sleep_recorder.h"
#include "window_test_support.h"

namespace {

// A port nobody listens on now: asked of the system, then let go.
uint16_t FreePort() {
    WSADATA data;
    WSAStartup(MAKEWORD(2, 2), &data);
    SOCKET probe = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in address = {};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bind(probe, reinterpret_cast<sockaddr*>(&address), sizeof address);
    int length = sizeof address;
    getsockname(probe, reinterpret_cast<sockaddr*>(&address), &length);
    closesocket(probe);
    return ntohs(address.sin_port);
}

SOCKET Connect(uint16_t port) {
    SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in address = {};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    DWORD timeout = 10000;
    setsockopt(s, SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<char*>(&timeout), sizeof timeout);
    if (connect(s, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        closesocket(s);
        return INVALID_SOCKET;
    }
    return s;
}

// The whole answer to a request, or "" when nobody answered.
std::string Ask(uint16_t port, const std::string& request) {
    SOCKET s = Connect(port);
    if (s == INVALID_SOCKET) return std::string();
    send(s, request.data(), static_cast<int>(request.size()), 0);
    std::string answer;
    char chunk[4096];
    for (int got; (got = recv(s, chunk, sizeof chunk, 0)) > 0;) answer.append(chunk, got);
    closesocket(s);
    return answer;
}

std::string Get(uint16_t port, const char* path) {
    return Ask(port, std::string("GET ") + path + " HTTP/1.1\r\nHost: test\r\n\r\n");
}

std::string CommandLine(const std::string& arguments) { return "\"C:\\Zentrik\\Zentrik.exe\" " + arguments; }

bool PhoneModuleLoaded() { return GetModuleHandleA(kPhoneModuleName) != nullptr; }

// The program started on the simulated tuner with /phone on a free port,
// silent; the port, or 0 when the display did not start.
uint16_t StartWithPhoneDisplay(const std::string& script) {
    UseSimulatedTuner(script);
    StartProgram();
    App.SoundMode.store(Silent);
    const uint16_t port = FreePort();
    StartPhoneDisplay(CommandLine("/phone:" + std::to_string(port)).c_str());
    return PhoneModuleLoaded() ? port : 0;
}

}  // namespace

TEST(PhoneDisplay, WithoutTheSwitchNothingIsLoadedAndABadPortIsTold) {
    StartProgram();
    TakeMessageBoxes();
    StartPhoneDisplay(CommandLine("/other").c_str());
    EXPECT_FALSE(PhoneModuleLoaded());
    EXPECT_TRUE(TakeMessageBoxes().empty());
    StartPhoneDisplay(CommandLine("/phone:0").c_str());
    EXPECT_FALSE(PhoneModuleLoaded());
    const auto boxes = TakeMessageBoxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].Owner, App.MainWindow);
    EXPECT_EQ(boxes[0].Caption, "Attention!");
    EXPECT_NE(boxes[0].Text.find("port number from 1 to 65535"), std::string::npos) << boxes[0].Text;
    EXPECT_EQ(App.PhoneModule, nullptr);
    EXPECT_EQ(App.PhoneAddresses[0], '\0');
}

// The lock as the poller found it and the caption published at the start
// reach the page's JSON; the About box names the address; stopping unloads
// the server and closes the port.
TEST(PhoneDisplay, ServesWhatThePollerAndTheStartPublish) {
    const uint16_t port = StartWithPhoneDisplay("latency 2\nat 0 lock 1 level 64\non GATE:lost lock 0 level 64\n");
    ASSERT_NE(port, 0);
    EXPECT_NE(Get(port, "/api/signal").find("\"measuring\":false,\"locked\":false"), std::string::npos);
    ASSERT_EQ(StartHotBird(), Accepted);
    ASSERT_TRUE(PumpUntil([] { return App.SignalLevel.load() == 64; }));
    EXPECT_EQ(App.SignalLocked.load(), 1);
    const std::string locked = Get(port, "/api/signal");
    EXPECT_NE(locked.find("{\"measuring\":true,\"locked\":true,\"level\":64,\"text\":\"64%\","
                          "\"caption\":\"HotBird1-6   13.0e\",\"sound\":\"silent\""), std::string::npos) << locked;
    TakeMessageBoxes();
    EXPECT_EQ(StartAction(), Accepted);  // ABOUT while measuring
    const auto boxes = TakeMessageBoxes();
    ASSERT_EQ(boxes.size(), 1u);
    const std::string tail = "Phone display, open on the phone:\nhttp://";
    EXPECT_NE(boxes[0].Text.find(tail), std::string::npos) << boxes[0].Text;
    EXPECT_NE(boxes[0].Text.find(":" + std::to_string(port) + "/\n"), std::string::npos) << boxes[0].Text;
    OpenSimulatedGate("lost");
    ASSERT_TRUE(PumpUntil([] { return App.SignalLocked.load() == 0; }));
    EXPECT_NE(Get(port, "/api/signal").find("\"locked\":false,\"level\":0"), std::string::npos);
    StopMeasurement();
    EXPECT_NE(Get(port, "/api/signal").find("\"measuring\":false"), std::string::npos);
    StopPhoneDisplay();
    EXPECT_FALSE(PhoneModuleLoaded());
    EXPECT_EQ(Get(port, "/api/signal"), "");
}

namespace {

// An event stream's text until it holds 'wanted' (or the stream stops).
bool EventsShow(uint16_t port, const std::string& wanted) {
    SOCKET s = Connect(port);
    if (s == INVALID_SOCKET) return false;
    const char request[] = "GET /events HTTP/1.1\r\nHost: test\r\n\r\n";
    send(s, request, sizeof request - 1, 0);
    std::string stream;
    char chunk[4096];
    for (int got; stream.find(wanted) == std::string::npos && (got = recv(s, chunk, sizeof chunk, 0)) > 0;)
        stream.append(chunk, got);
    closesocket(s);
    return stream.find(wanted) != std::string::npos;
}

}  // namespace

// Which satellite the broadcast names, as the poller publishes it, reaches
// the page's JSON and its event stream; a program of the previous feed
// version, or one whose record is too small, is refused.
TEST(PhoneDisplay, ServesTheIdentityThePollerPublishes) {
    const uint16_t port = StartWithPhoneDisplay("latency 2\nat 0 lock 1 level 64\n");
    ASSERT_NE(port, 0);
    const uint32_t before = App.Identity.Sequence.load();
    ASSERT_EQ(StartHotBird(), Accepted);
    // The poller publishes the entry's position as it starts: the identity
    // below must come after that, or on a loaded machine the poller's would
    // cover it. (The deadline only catches a poller that never starts.)
    // The feed claims an identity only under the lock: it must be published too.
    for (int waited = 0; (App.Identity.Sequence.load() == before || App.SignalLocked.load() == 0) && waited < 30000;
         waited += 10)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_NE(Get(port, "/api/signal").find("\"position\":null,\"network\":null,\"match\":\"unknown\""),
              std::string::npos);
    SatelliteIdentity identity;
    identity.Position = 192;
    identity.Expected = 130;
    identity.Match = IdentityMismatch;
    strcpy(identity.NetworkName, "ASTRA 1");
    PublishIdentity(&App.Identity, identity);
    const std::string wanted = "\"position\":\"19.2E\",\"network\":\"ASTRA 1\",\"match\":\"mismatch\",\"expected\":\"13.0E\","
                               "\"line\":\"not 13.0E: this is 19.2E, ASTRA 1\"}";
    const std::string signal = Get(port, "/api/signal");
    EXPECT_NE(signal.find(wanted), std::string::npos) << signal;
    EXPECT_TRUE(EventsShow(port, "data: {\"measuring\":true") && EventsShow(port, wanted));
    StopMeasurement();
    StopPhoneDisplay();

    HMODULE module = LoadLibraryA(kPhoneModuleName);
    ASSERT_NE(module, nullptr);
    auto start = reinterpret_cast<StartPhoneServerFunction>(
        reinterpret_cast<void*>(GetProcAddress(module, kStartPhoneServerName)));
    ASSERT_NE(start, nullptr);
    PhoneFeed feed{kPhoneFeedVersion - 1, sizeof(PhoneFeed), &App.RunMode, &App.SignalLocked, &App.SignalLevel,
                   &App.LevelText, &App.SharedCaption, &App.SoundMode, &App.VoiceLanguage, &App.Cadence,
                   &App.Identity, &App.SignalStrength, &App.SignalQuality};
    EXPECT_EQ(start(&feed, FreePort()), PhoneWrongFeed);
    feed.Version = kPhoneFeedVersion;
    feed.Size = offsetof(PhoneFeed, SignalStrength);  // the record as the previous version had it
    EXPECT_EQ(start(&feed, FreePort()), PhoneWrongFeed);
    FreeLibrary(module);
}

// The card's strength and quality, as the poller publishes them from the
// tuner's readings interface, reach the page's JSON apart, null once the lock
// is gone.
TEST(PhoneDisplay, ServesStrengthAndQualityWhileLocked) {
    const uint16_t port = StartWithPhoneDisplay("latency 2\nat 0 lock 1 level 80 strength 80 quality 40\n"
                                                "on GATE:lost lock 0 level 80 strength 80 quality 40\n");
    ASSERT_NE(port, 0);
    EXPECT_NE(Get(port, "/api/signal").find("\"strength\":null,\"quality\":null"), std::string::npos);
    ASSERT_EQ(StartHotBird(), Accepted);
    ASSERT_TRUE(PumpUntil([] { return App.SignalQuality.load() == 40; }));
    const std::string locked = Get(port, "/api/signal");
    EXPECT_NE(locked.find("\"level\":80,"), std::string::npos) << locked;
    EXPECT_NE(locked.find("\"strength\":80,\"quality\":40"), std::string::npos) << locked;
    EXPECT_TRUE(EventsShow(port, "\"strength\":80,\"quality\":40"));
    OpenSimulatedGate("lost");
    ASSERT_TRUE(PumpUntil([] { return App.SignalLocked.load() == 0 && App.SignalQuality.load() == kReadingUnknown; }));
    EXPECT_NE(Get(port, "/api/signal").find("\"strength\":null,\"quality\":null"), std::string::npos);
    StopMeasurement();
    StopPhoneDisplay();
}

namespace {

// A copy of the phone display's DLL without its keep-awake videos, as a
// build that lost them would be: their names in its resource directory
// (UTF-16) changed in their last letter, which keeps the directory's order.
std::string PhoneModuleWithoutVideos() {
    std::ifstream in(kPhoneModuleName, std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    int renamed = 0;
    for (const char* name : {"KEEPAWAKEWEBM", "KEEPAWAKEMP4"}) {
        std::string wide;
        for (const char* c = name; *c; ++c) wide += std::string(1, *c) + '\0';
        const size_t at = bytes.find(wide);
        if (at == std::string::npos) continue;
        bytes[at + wide.size() - 2] = '_';
        ++renamed;
    }
    char folder[MAX_PATH];
    GetTempPathA(MAX_PATH, folder);
    const std::string copy = std::string(folder) + "ZentrikPhoneNoVideo" + std::to_string(GetCurrentProcessId()) + ".dll";
    std::ofstream(copy, std::ios::binary) << bytes;
    return renamed == 2 ? copy : std::string();
}

}  // namespace

// A keep-awake video the module lacks is not found, as a missing sound is,
// rather than served empty.
TEST(PhoneDisplay, AMissingKeepAwakeVideoIsNotFound) {
    StartProgram();
    const std::string path = PhoneModuleWithoutVideos();
    ASSERT_FALSE(path.empty());
    HMODULE module = LoadLibraryA(path.c_str());
    ASSERT_NE(module, nullptr);
    auto start = reinterpret_cast<StartPhoneServerFunction>(
        reinterpret_cast<void*>(GetProcAddress(module, kStartPhoneServerName)));
    auto stop = reinterpret_cast<StopPhoneServerFunction>(
        reinterpret_cast<void*>(GetProcAddress(module, kStopPhoneServerName)));
    ASSERT_TRUE(start && stop);
    const PhoneFeed feed{kPhoneFeedVersion, sizeof(PhoneFeed), &App.RunMode, &App.SignalLocked, &App.SignalLevel,
                         &App.LevelText, &App.SharedCaption, &App.SoundMode, &App.VoiceLanguage, &App.Cadence,
                         &App.Identity, &App.SignalStrength, &App.SignalQuality};
    const uint16_t port = FreePort();
    ASSERT_EQ(start(&feed, port), PhoneStarted);
    for (const char* video : {"/keep-awake.mp4", "/keep-awake.webm"})
        EXPECT_EQ(Get(port, video).rfind("HTTP/1.1 404 ", 0), 0u) << video;
    EXPECT_EQ(Get(port, "/sounds/tone.wav").rfind("HTTP/1.1 200 ", 0), 0u);
    stop();
    FreeLibrary(module);
    DeleteFileA(path.c_str());
}

namespace {

std::atomic<int> paints{0};
using BeginPaintFunction = HDC(WINAPI*)(HWND, LPPAINTSTRUCT);
BeginPaintFunction realBeginPaint = nullptr;
HDC WINAPI CountingBeginPaint(HWND window, LPPAINTSTRUCT paint) {
    ++paints;
    return realBeginPaint(window, paint);
}

struct Pace {
    double Polls, Paints;
};

Pace PaceOver(DWORD milliseconds) {
    const size_t polls = TunerLog().size();
    const int painted = paints.load();
    PumpMessages(milliseconds);
    return {double(TunerLog().size() - polls), double(paints.load() - painted)};
}

// Event streams held open, bad and oversized requests and snapshots, over
// and over, until told to stop: some two hundred requests a second. (Without
// a pause the test's own client threads would take the processor from the
// window, which measures the machine, not the server.)
std::vector<std::thread> Load(uint16_t port, std::atomic<bool>* stop) {
    std::vector<std::thread> clients;
    for (int i = 0; i < 12; ++i)
        clients.emplace_back([port, stop] {
            SOCKET s = Connect(port);
            const char request[] = "GET /events HTTP/1.1\r\n\r\n";
            send(s, request, sizeof request - 1, 0);
            char chunk[1024];
            while (!stop->load() && recv(s, chunk, sizeof chunk, 0) > 0) {}
            closesocket(s);
        });
    const std::string bad[] = {"POST / HTTP/1.1\r\n\r\n", "GET /x HTTP/1.1\r\n\r\n", "nonsense\r\n\r\n",
                               "GET / HTTP/1.1\r\nX: " + std::string(20000, 'v') + "\r\n\r\n",
                               "GET /api/signal HTTP/1.1\r\n\r\n"};
    for (const std::string& request : bad)
        clients.emplace_back([port, stop, request] {
            while (!stop->load()) {
                Ask(port, request);
                RealSleep(20);
            }
        });
    return clients;
}

}  // namespace

// The window's poller and painting keep their pace whatever the clients do:
// measured against the same run without clients, as a ratio. On a machine with
// no processor to spare any extra thread takes a share (ratios from 0.45 to 0.95
// were seen with two cores kept busy); a server that held the window up, by a
// lock or by work on its thread, brings the ratio near nothing.
TEST(PhoneDisplay, ClientsDoNotSlowTheWindow) {
    realBeginPaint = reinterpret_cast<BeginPaintFunction>(
        ReplaceImport("user32.dll", "BeginPaint", reinterpret_cast<void*>(&CountingBeginPaint)));
    ASSERT_NE(realBeginPaint, nullptr);
    const uint16_t port = StartWithPhoneDisplay("latency 5\nat 0 lock 1 level 50\n");
    ASSERT_NE(port, 0);
    ASSERT_EQ(StartHotBird(), Accepted);
    ASSERT_TRUE(PumpUntil([] { return App.SignalLevel.load() == 50; }));
    const Pace quiet = PaceOver(2000);
    std::atomic<bool> stop{false};
    std::vector<std::thread> clients = Load(port, &stop);
    const Pace busy = PaceOver(2000);
    stop.store(true);
    for (std::thread& client : clients) client.join();
    std::printf("polls %.0f / %.0f, paints %.0f / %.0f (quiet / with clients)\n", quiet.Polls, busy.Polls,
                quiet.Paints, busy.Paints);
    ASSERT_GT(quiet.Polls, 0);
    ASSERT_GT(quiet.Paints, 0);
    EXPECT_GT(busy.Polls / quiet.Polls, 0.25);
    EXPECT_GT(busy.Paints / quiet.Paints, 0.25);
    EXPECT_NE(Get(port, "/api/signal").find("\"level\":50"), std::string::npos);
    StopMeasurement();
    StopPhoneDisplay();
}
