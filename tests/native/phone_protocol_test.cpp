// The gate in front of the phone display's HTTP library, and the texts the
// display sends.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <initializer_list>
#include <string>
#include <thread>

#include "phone/phone_protocol.h"

namespace {
RequestHead Scan(const std::string& bytes) { return ScanRequestHead(bytes.data(), bytes.size()); }
int StatusOf(const std::string& bytes) { return Scan(bytes).Status; }
const std::string kHeaders = "Host: 192.168.1.5:8099\r\nUser-Agent: phone\r\n\r\n";
}  // namespace

TEST(PhoneGate, KnownPathsByGetOrHeadPass) {
    const std::string request = "GET /events HTTP/1.1\r\n" + kHeaders;
    const RequestHead head = Scan(request + "trailing bytes of a next request");
    EXPECT_EQ(head.Status, 200);
    EXPECT_EQ(head.Route, RouteEvents);
    EXPECT_EQ(head.Length, request.size());
    EXPECT_EQ(Scan("HEAD / HTTP/1.0\n\n").Route, RoutePage);
    EXPECT_EQ(Scan("GET /api/signal?t=5 HTTP/1.1\r\n\r\n").Route, RouteSignal);
    const RequestHead sound = Scan("GET /sounds/ru9.wav HTTP/1.1\r\n" + kHeaders);
    EXPECT_EQ(sound.Route, RouteSound);
    EXPECT_STREQ(SoundResourceName(sound.Sound), "RU9");
    EXPECT_STREQ(SoundResourceName(Scan("GET /sounds/tone.wav HTTP/1.1\r\n\r\n").Sound), "TONE");
    EXPECT_STREQ(SoundResourceName(Scan("GET /sounds/en0.wav HTTP/1.1\r\n\r\n").Sound), "EN0");
    const RequestHead webm = Scan("GET /keep-awake.webm HTTP/1.1\r\nRange: bytes=0-1\r\n\r\n");
    EXPECT_EQ(webm.Route, RouteVideo);
    EXPECT_STREQ(VideoResourceName(webm.Sound), "KEEPAWAKEWEBM");
    EXPECT_STREQ(VideoContentType(Scan("GET /keep-awake.mp4?v=1 HTTP/1.1\r\n\r\n").Sound), "video/mp4");
    EXPECT_EQ(Scan("GET /keep-awake.ogv HTTP/1.1\r\n\r\n").Status, 404);
    EXPECT_EQ(VideoResourceName(kPhoneVideoCount), nullptr);
}

TEST(PhoneGate, AnIncompleteHeadWaitsForMore) {
    const std::string request = "GET /api/signal HTTP/1.1\r\n" + kHeaders;
    for (size_t length = 0; length < request.size(); ++length)
        EXPECT_EQ(StatusOf(request.substr(0, length)), 0) << length;
}

TEST(PhoneGate, OtherMethodsAreRefusedAndUnknownPathsNotFound) {
    for (const char* method : {"POST", "PUT", "DELETE", "OPTIONS", "CONNECT", "get", "M-SEARCH"})
        EXPECT_EQ(StatusOf(std::string(method) + " / HTTP/1.1\r\n\r\n"), 405) << method;
    for (const char* path : {"/index.html", "/events/", "/sounds/en10.wav", "/sounds/EN4.wav",
                             "/sounds/.wav", "/sounds/../sounds/en4.wav", "/api", "/%65vents", "//"})
        EXPECT_EQ(StatusOf("GET " + std::string(path) + " HTTP/1.1\r\n\r\n"), 404) << path;
    // Decided as soon as the first line is there.
    EXPECT_EQ(StatusOf("POST / HTTP/1.1\r\n"), 405);
}

TEST(PhoneGate, MalformedHeadsAreBadRequests) {
    for (const char* line : {"GET / HTTP/2.0", "GET /", "GET  / HTTP/1.1", "GET / HTTP/1.1 ", " GET / HTTP/1.1",
                             "GET * HTTP/1.1", "GET http://x/ HTTP/1.1", "GET /\x01 HTTP/1.1", "\r",
                             "G\xC3\xA9T / HTTP/1.1", "GET / http/1.1"})
        EXPECT_EQ(StatusOf(std::string(line) + "\r\n\r\n"), 400) << line;
    for (const char* header : {"NoColon", "Space : before", " folded: line", ": empty name",
                               "Bad\x7F: x", "X: a\rb"})
        EXPECT_EQ(StatusOf("GET / HTTP/1.1\r\n" + std::string(header) + "\r\n\r\n"), 400) << header;
    static const char kNul[] = "GET / HTTP/1.1\r\nX: nul\0in\r\n\r\n";
    EXPECT_EQ(StatusOf(std::string(kNul, sizeof kNul - 1)), 400);
}

TEST(PhoneGate, LongLinesAndHeadsAreBounded) {
    const std::string longPath = "/" + std::string(kMaxRequestLine, 'a');
    EXPECT_EQ(StatusOf("GET " + longPath + " HTTP/1.1\r\n\r\n"), 414);
    EXPECT_EQ(StatusOf("GET " + longPath), 414);  // still without its line end
    EXPECT_EQ(StatusOf("GET /" + std::string(kMaxRequestLine - 20, 'a')), 0);
    std::string many = "GET / HTTP/1.1\r\n";
    for (size_t i = 0; i <= kMaxHeaderLines; ++i) many += "X-" + std::to_string(i) + ": y\r\n";
    EXPECT_EQ(StatusOf(many), 431);
    EXPECT_EQ(StatusOf(many + "\r\n"), 431);
    const std::string big = "GET / HTTP/1.1\r\nX: " + std::string(kMaxRequestHead, 'v');
    EXPECT_EQ(StatusOf(big), 431);
    EXPECT_EQ(StatusOf(big + "\r\n\r\n"), 431);
    std::string fits = "GET / HTTP/1.1\r\n";
    for (size_t i = 0; i < kMaxHeaderLines; ++i) fits += "X: " + std::string(150, 'v') + "\r\n";
    EXPECT_EQ(StatusOf(fits + "\r\n"), 200);
}

TEST(PhoneTexts, TheSnapshotAsJsonAndAsAnEvent) {
    PhoneSnapshot snapshot;
    snapshot.Measuring = true;
    snapshot.Locked = true;
    snapshot.Level = 47;
    memcpy(snapshot.LevelText, "47%", 4);
    snapshot.SoundMode = 1;
    snapshot.VoiceLanguage = 1;
    snapshot.Cadence = 900;
    const std::string json = SignalJson(snapshot, "HotBird1-6   13.0e");
    EXPECT_EQ(json, "{\"measuring\":true,\"locked\":true,\"level\":47,\"text\":\"47%\","
                    "\"caption\":\"HotBird1-6   13.0e\",\"sound\":\"voice\",\"language\":\"russian\","
                    "\"cadence\":900,\"strength\":null,\"quality\":null,\"position\":null,\"network\":null,"
                    "\"match\":\"unknown\",\"expected\":null,\"line\":null}");
    EXPECT_EQ(SignalEvent(json), "event: signal\ndata: " + json + "\n\n");
    snapshot = PhoneSnapshot();
    snapshot.SoundMode = 7;  // no mode the player knows: it stays silent
    EXPECT_EQ(SignalJson(snapshot, ""), "{\"measuring\":false,\"locked\":false,\"level\":0,\"text\":\"00%\","
                                        "\"caption\":\"\",\"sound\":\"silent\",\"language\":\"english\","
                                        "\"cadence\":0,\"strength\":null,\"quality\":null,"
                                        "\"position\":null,\"network\":null,"
                                        "\"match\":\"unknown\",\"expected\":null,\"line\":null}");
    snapshot.SoundMode = 3;
    EXPECT_NE(SignalJson(snapshot, "").find("\"sound\":\"muted\""), std::string::npos);
}

// The card's strength and quality apart: numbers while locked, null where
// unknown, and both null without a lock or a measurement, whatever the
// fields still hold; a percentage out of range is no reading.
TEST(PhoneTexts, StrengthAndQualityOnlyWhileLocked) {
    PhoneSnapshot snapshot;
    snapshot.Measuring = snapshot.Locked = true;
    snapshot.Strength = 80;
    snapshot.Quality = 40;
    auto readings = [&snapshot] {
        const std::string json = SignalJson(snapshot, "");
        const size_t from = json.find(",\"strength\"");
        return from == std::string::npos ? json : json.substr(from, json.find(",\"position\"") - from);
    };
    EXPECT_EQ(readings(), ",\"strength\":80,\"quality\":40");
    snapshot.Strength = 0;
    snapshot.Quality = 100;
    EXPECT_EQ(readings(), ",\"strength\":0,\"quality\":100");
    snapshot.Strength = kReadingUnknown;
    snapshot.Quality = 101;
    EXPECT_EQ(readings(), ",\"strength\":null,\"quality\":null");
    snapshot.Strength = 80;
    snapshot.Quality = 40;
    snapshot.Locked = false;
    EXPECT_EQ(readings(), ",\"strength\":null,\"quality\":null");
    snapshot.Locked = true;
    snapshot.Measuring = false;
    EXPECT_EQ(readings(), ",\"strength\":null,\"quality\":null");
}

TEST(PhoneTexts, CaptionsAreEscapedAndMadeValidUtf8) {
    auto quoted = [](const std::string& text) {
        std::string out;
        AppendJsonString(&out, text.data(), text.size());
        return out;
    };
    EXPECT_EQ(quoted("a\"b\\c"), "\"a\\\"b\\\\c\"");
    EXPECT_EQ(quoted("line\nbreak\r\t\x01"), "\"line\\u000abreak\\u000d\\u0009\\u0001\"");
    EXPECT_EQ(quoted("<script>&"), "\"\\u003cscript\\u003e\\u0026\"");
    EXPECT_EQ(quoted("\xD0\xAF\xE2\x82\xAC\xF0\x9F\x93\xA1"), "\"\xD0\xAF\xE2\x82\xAC\xF0\x9F\x93\xA1\"");
    const std::string bad = "\xEF\xBF\xBD";
    EXPECT_EQ(quoted("\xC0\x80"), "\"" + bad + bad + "\"");          // overlong
    EXPECT_EQ(quoted("\xED\xA0\x80"), "\"" + bad + bad + bad + "\"");  // a surrogate
    EXPECT_EQ(quoted("x\xE2\x82"), "\"x" + bad + bad + "\"");         // cut short
    EXPECT_EQ(quoted("\xFF" "a"), "\"" + bad + "a\"");
    EXPECT_EQ(quoted(std::string("a\0b", 3)), "\"a\\u0000b\"");
    // An event's data is one line, whatever the caption holds.
    PhoneSnapshot snapshot;
    const std::string event = SignalEvent(SignalJson(snapshot, "two\nlines\r\n"));
    EXPECT_EQ(std::count(event.begin(), event.end(), '\n'), 3);  // event, data, blank
    EXPECT_EQ(event.find('\r'), std::string::npos);
}

TEST(PhoneTexts, TheCaptionEndsAtItsFirstZeroOrBlankTail) {
    char caption[kCaptionLength];
    memset(caption, ' ', sizeof caption);
    memcpy(caption, "HotBird1-6   13.0e", 18);
    EXPECT_EQ(CaptionLength(caption), 18u);
    memset(caption, 0, sizeof caption);
    EXPECT_EQ(CaptionLength(caption), 0u);
    memset(caption, 'x', sizeof caption);  // no terminator at all
    EXPECT_EQ(CaptionLength(caption), 32u);
}

// The reader must see one publication whole: a caption written word by word
// without the sequence count would let it see the head of one and the tail of
// the next.
TEST(PhoneFeed, ACaptionIsReadWholeWhileItIsRepublished) {
    PublishedCaption published;
    char first[kCaptionLength], second[kCaptionLength];
    memset(first, 'A', sizeof first);
    memset(second, 'B', sizeof second);
    PublishCaption(&published, first);
    std::atomic<bool> stop{false};
    std::thread writer([&] {
        for (int i = 0; !stop.load(); ++i) {
            PublishCaption(&published, i & 1 ? first : second);
            std::this_thread::yield();
        }
    });
    int mixed = 0;
    for (int i = 0; i < 50000; ++i) {
        char read[kCaptionLength];
        ReadPublishedCaption(published, read);
        mixed += std::string(read, sizeof read) != std::string(first, sizeof first) &&
                 std::string(read, sizeof read) != std::string(second, sizeof second);
    }
    stop.store(true);
    writer.join();
    EXPECT_EQ(mixed, 0);
}

TEST(PhoneFeed, ASnapshotReadsEveryPublishedField) {
    std::atomic<int16_t> runMode{1}, soundMode{1}, language{1};
    std::atomic<uint8_t> locked{1};
    std::atomic<int32_t> level{63}, cadence{900}, strength{70}, quality{kReadingUnknown};
    std::atomic<uint32_t> text{'6' | '3' << 8 | '%' << 16};
    PublishedCaption caption;
    char name[kCaptionLength] = "12245H27500";
    PublishCaption(&caption, name);
    PublishedIdentity identity;
    const PhoneFeed feed{kPhoneFeedVersion, sizeof(PhoneFeed), &runMode, &locked, &level, &text,
                         &caption, &soundMode, &language, &cadence, &identity, &strength, &quality};
    const PhoneSnapshot snapshot = TakePhoneSnapshot(feed);
    EXPECT_EQ(SignalJson(snapshot, std::string(snapshot.Caption, CaptionLength(snapshot.Caption))),
              "{\"measuring\":true,\"locked\":true,\"level\":63,\"text\":\"63%\",\"caption\":\"12245H27500\","
              "\"sound\":\"voice\",\"language\":\"russian\",\"cadence\":900,\"strength\":70,\"quality\":null,"
              "\"position\":null,\"network\":null,\"match\":\"unknown\",\"expected\":null,\"line\":null}");
    EXPECT_TRUE(SameSnapshot(snapshot, TakePhoneSnapshot(feed)));
    name[0] = '3';
    PublishCaption(&caption, name);
    EXPECT_FALSE(SameSnapshot(snapshot, TakePhoneSnapshot(feed)));
    // A new identity is news for the event streams as any reading is.
    const PhoneSnapshot before = TakePhoneSnapshot(feed);
    SatelliteIdentity known;
    known.Position = 130;
    known.Match = IdentityAlone;
    PublishIdentity(&identity, known);
    EXPECT_FALSE(SameSnapshot(before, TakePhoneSnapshot(feed)));
    // So is a quality that changes while the level stays.
    const PhoneSnapshot steady = TakePhoneSnapshot(feed);
    quality.store(41);
    EXPECT_FALSE(SameSnapshot(steady, TakePhoneSnapshot(feed)));
}

namespace {
// The identity's part of the JSON, measuring under a lock unless told otherwise.
std::string IdentityJson(const SatelliteIdentity& identity, bool measuring = true, bool locked = true) {
    PhoneSnapshot snapshot;
    snapshot.Measuring = measuring;
    snapshot.Locked = locked;
    snapshot.Identity = ShowIdentity(identity);
    const std::string json = SignalJson(snapshot, "");
    return json.substr(json.find(",\"position\""));
}

const char kNothingClaimed[] = ",\"position\":null,\"network\":null,\"match\":\"unknown\",\"expected\":null,\"line\":null}";

// Hot Bird from the list, confirmed by Mediaset's broadcast.
SatelliteIdentity ConfirmedHotBird() {
    SatelliteIdentity identity;
    identity.Position = 130;
    identity.Expected = 130;
    identity.Match = IdentityConfirmed;
    std::strcpy(identity.NetworkName, "Mediaset");
    return identity;
}
}  // namespace

// The feed claims nothing without the lock, whatever was published: the
// poller publishes the lock and the identity one after the other, and a
// snapshot may fall between the two.
TEST(PhoneIdentity, NothingIsClaimedWithoutTheLockWhateverWasPublished) {
    const SatelliteIdentity identity = ConfirmedHotBird();
    EXPECT_EQ(IdentityJson(identity, true, false), kNothingClaimed);
    EXPECT_EQ(IdentityJson(identity, false, true), kNothingClaimed);
    EXPECT_EQ(IdentityJson(identity, false, false), kNothingClaimed);
    EXPECT_NE(IdentityJson(identity), kNothingClaimed);
}

TEST(PhoneIdentity, PositionNetworkAndMatchAsTheirWords) {
    SatelliteIdentity identity = ConfirmedHotBird();
    EXPECT_EQ(IdentityJson(identity),
              ",\"position\":\"13.0E\",\"network\":\"Mediaset\",\"match\":\"confirmed\",\"expected\":\"13.0E\","
              "\"line\":\"13.0E confirmed: Mediaset\"}");
    identity.Position = 192;
    identity.Match = IdentityMismatch;
    std::strcpy(identity.NetworkName, "ASTRA 1");
    EXPECT_EQ(IdentityJson(identity),
              ",\"position\":\"19.2E\",\"network\":\"ASTRA 1\",\"match\":\"mismatch\",\"expected\":\"13.0E\","
              "\"line\":\"not 13.0E: this is 19.2E, ASTRA 1\"}");
    identity.Position = -300;
    identity.Expected = kPositionUnknown;
    identity.Match = IdentityAlone;
    identity.NetworkName[0] = '\0';
    EXPECT_EQ(IdentityJson(identity),
              ",\"position\":\"30.0W\",\"network\":null,\"match\":\"alone\",\"expected\":null,\"line\":\"30.0W\"}");
    // Nothing known yet, or a match of a later program: nothing is claimed,
    // not even the zero position of a record never published.
    for (const uint8_t match : {uint8_t(IdentityUnknown), uint8_t(9)}) {
        identity.Match = match;
        EXPECT_EQ(IdentityJson(identity), kNothingClaimed);
    }
    char text[8];
    for (const auto& [tenths, expected] : std::initializer_list<std::pair<int16_t, const char*>>{
             {0, "0.0E"}, {48, "4.8E"}, {-8, "0.8W"}, {1800, "180.0E"}, {-1800, "180.0W"}}) {
        ASSERT_TRUE(FormatPosition(tenths, text)) << tenths;
        EXPECT_STREQ(text, expected);
    }
    // Past 180 degrees is no position: nothing is claimed for it.
    for (const int16_t tenths : {int16_t(1801), int16_t(3599), int16_t(-1801), kPositionUnknown})
        EXPECT_FALSE(FormatPosition(tenths, text)) << tenths;
    identity.Match = IdentityAlone;
    identity.Position = 3599;
    identity.Expected = 3599;
    EXPECT_NE(IdentityJson(identity).find(",\"position\":null,"), std::string::npos);
    EXPECT_NE(IdentityJson(identity).find(",\"expected\":null,"), std::string::npos);
}

// The network's name comes off the air: whatever its bytes, the JSON stays
// JSON and the page gets text, never markup.
TEST(PhoneIdentity, TheNetworkNameIsEscaped) {
    SatelliteIdentity identity;
    identity.Match = IdentityAlone;
    std::strcpy(identity.NetworkName, "\"A\\B\"\x01<b>&\xC3\xA9\xFF");
    EXPECT_NE(IdentityJson(identity).find("\"network\":\"\\\"A\\\\B\\\"\\u0001\\u003cb\\u003e\\u0026\xC3\xA9\xEF\xBF\xBD\","),
              std::string::npos)
        << IdentityJson(identity);
    // A name that fills its field to the last byte, without a terminator.
    std::memset(identity.NetworkName, 'n', sizeof identity.NetworkName);
    EXPECT_NE(IdentityJson(identity).find("\"network\":\"" + std::string(kNetworkNameBytes, 'n') + "\","),
              std::string::npos);
}
