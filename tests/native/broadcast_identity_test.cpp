// The identity reader on streams built here: packets split and damaged in
// the ways a tuner delivers them, and the NITs and SDTs met in the world.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>

#include "identity/broadcast_identity.h"
#include "tests/native/broadcast_builder.h"

namespace {

constexpr uint16_t kNit = 0x10;
constexpr uint16_t kSdt = 0x11;

BroadcastIdentity Read(const Bytes& stream) {
    IdentityReaderPtr reader = CreateIdentityReader();
    FeedTransportStream(reader.get(), stream.data(), stream.size());
    return ReadBroadcastIdentity(*reader);
}

// Hot Bird's sort: three transponders at 13.0E, the received one 1000.
Bytes HotBirdNit(uint8_t version = 0) {
    return MakeSection(0x40, 318, version, 0, 0,
                       NitBody(NetworkName(Text("Hot Bird")),
                               {{1000, 318, SatelliteDelivery(130, 11034, 'V', true, 27500)},
                                {1100, 318, SatelliteDelivery(130, 11200, 'H')},
                                {1200, 318, SatelliteDelivery(130, 12111, 'V', false, 29900)}}));
}

// A NIT over three packets: twenty transponders at 13.0E.
Bytes LongNit() {
    std::vector<Stream> streams;
    for (int i = 0; i < 20; ++i) streams.push_back({static_cast<uint16_t>(i), 318, SatelliteDelivery(130, 10700 + 40 * i)});
    return MakeSection(0x40, 318, 0, 0, 0, NitBody(NetworkName(Text("Eutelsat")), streams));
}

Bytes Sdt(uint16_t streamId, uint16_t networkId, std::vector<Bytes> names, uint8_t number = 0, uint8_t last = 0) {
    return MakeSection(0x42, streamId, 0, number, last, SdtBody(networkId, names));
}

// NIT and SDT packets among null packets, as a recording holds them.
Bytes HotBirdStream() {
    uint8_t nitCc = 0, sdtCc = 0;
    return Concat({NullPackets(3), Packetise(kNit, {HotBirdNit()}, &nitCc), NullPackets(2),
                   Packetise(kSdt, {Sdt(1000, 318, {Text("Rai 1"), Text("Rai 2")})}, &sdtCc), NullPackets(3)});
}

void ExpectHotBird(const BroadcastIdentity& id) {
    EXPECT_TRUE(id.Synchronised);
    EXPECT_EQ(id.Position, 130);
    EXPECT_STREQ(id.NetworkName, "Hot Bird");
    EXPECT_EQ(id.NetworkId, 318);
    EXPECT_EQ(id.TransportStreamId, 1000);
    EXPECT_EQ(id.OriginalNetworkId, 318);
    ASSERT_EQ(id.ServiceCount, 2);
    EXPECT_STREQ(id.Services[1], "Rai 2");
    EXPECT_TRUE(id.Complete);
}

TEST(TsSections, Crc32IsMpeg2s) {
    const uint8_t check[] = {'1', '2', '3', '4', '5', '6', '7', '8', '9'};
    EXPECT_EQ(Crc32Mpeg2(check, sizeof check), 0x0376E6E7u);
}

TEST(TsSections, TheSameIdentityHoweverTheBytesAreSliced) {
    const Bytes stream = HotBirdStream();
    ExpectHotBird(Read(stream));
    IdentityReaderPtr bytewise = CreateIdentityReader();
    for (uint8_t b : stream) FeedTransportStream(bytewise.get(), &b, 1);
    ExpectHotBird(ReadBroadcastIdentity(*bytewise));
    std::mt19937 random(7);
    for (int round = 0; round < 20; ++round) {
        IdentityReaderPtr reader = CreateIdentityReader();
        size_t at = 0;
        while (at < stream.size()) {
            const size_t n = std::min<size_t>(stream.size() - at, random() % 700);
            FeedTransportStream(reader.get(), stream.data() + at, n);
            at += n;
        }
        ExpectHotBird(ReadBroadcastIdentity(*reader));
    }
}

TEST(TsSections, SyncIsFoundAgainAfterStrayAndLostBytes) {
    const Bytes clean = HotBirdStream();
    // Stray bytes before the stream, some of them 0x47, and in the middle.
    Bytes stray = Concat({{0x47, 0x00, 0x47, 0x12}, Bytes(200, 0x47), clean});
    stray.insert(stray.begin() + 204 + 2 * 188 + 5, {0x47, 0x47, 0x01});
    ExpectHotBird(Read(Concat({stray, HotBirdStream()})));
    // Bytes lost in a null packet ahead of the tables: they still arrive.
    Bytes lost = clean;
    lost.erase(lost.begin() + 100, lost.begin() + 130);
    ExpectHotBird(Read(lost));
    // Three 0x47 a packet apart are needed: two make no stream.
    Bytes two(188 * 2 + 1, 0x00);
    two[0] = two[188] = 0x47;
    EXPECT_FALSE(Read(two).Synchronised);
}

TEST(TsSections, ALostOrBrokenPieceDropsOnlyItsSection) {
    // A NIT over three packets with its middle packet lost: the continuity
    // gap drops it; the repeat in the next cycle is read.
    uint8_t cc = 0;
    Bytes nit = Packetise(kNit, {LongNit()}, &cc);
    ASSERT_EQ(nit.size(), 188u * 3);
    Bytes gap = nit;
    gap.erase(gap.begin() + 188, gap.begin() + 376);
    EXPECT_FALSE(Read(Concat({NullPackets(3), gap})).HaveNit);
    EXPECT_EQ(Read(Concat({NullPackets(3), gap, Packetise(kNit, {LongNit()}, &cc)})).TransponderCount, 20);
    // A packet sent twice (same counter) is read once.
    Bytes twice = Concat({Bytes(nit.begin(), nit.begin() + 376), Bytes(nit.begin() + 188, nit.end())});
    EXPECT_EQ(Read(Concat({NullPackets(3), twice})).TransponderCount, 20);
    // A flipped bit fails the CRC: the section is dropped, nothing is half-read.
    Bytes flipped = nit;
    flipped[188 + 50] ^= 0x04;
    EXPECT_FALSE(Read(Concat({NullPackets(3), flipped})).HaveNit);
    // The transport error indicator marks a packet not to be trusted.
    Bytes marked = nit;
    marked[188 + 1] |= 0x80;
    EXPECT_FALSE(Read(Concat({NullPackets(3), marked})).HaveNit);
}

TEST(TsSections, SeveralSectionsInOnePacketEachTableOnItsOwnPid) {
    uint8_t sdtCc = 0, nitCc = 0;
    // A NIT sent on the SDT's PID and an SDT on the NIT's are not taken.
    const Bytes sdtPid = Packetise(kSdt, {HotBirdNit(), Sdt(1000, 318, {Text("A")})}, &sdtCc);
    const Bytes nitPid = Packetise(kNit, {HotBirdNit(1), HotBirdNit(1), Sdt(5, 5, {Text("X")})}, &nitCc);
    const BroadcastIdentity id = Read(Concat({NullPackets(3), sdtPid, nitPid}));
    EXPECT_EQ(id.TransportStreamId, 1000);
    EXPECT_STREQ(id.Services[0], "A");
    EXPECT_EQ(id.Position, 130);
    // Both sections of an SDT in one packet.
    uint8_t cc = 0;
    const Bytes both = Packetise(kSdt, {Sdt(8, 9, {Text("B")}, 0, 1), Sdt(8, 9, {Text("C")}, 1, 1)}, &cc);
    ASSERT_EQ(both.size(), 188u);
    const BroadcastIdentity one = Read(Concat({NullPackets(3), both}));
    ASSERT_EQ(one.ServiceCount, 2);
    EXPECT_STREQ(one.Services[0], "B");
    EXPECT_STREQ(one.Services[1], "C");
}

// The NIT over several sections: each counts as it arrives.
TEST(NitActual, EverySectionCountsAsItArrivesAndANewVersionStartsAgain) {
    const Bytes first = MakeSection(0x40, 1, 4, 0, 2, NitBody(NetworkName(Text("ASTRA 1")), {{1, 1, SatelliteDelivery(192, 11494)}}));
    const Bytes second = MakeSection(0x40, 1, 4, 1, 2, NitBody({}, {{2, 1, SatelliteDelivery(192, 11523, 'V')}}));
    const Bytes third = MakeSection(0x40, 1, 4, 2, 2, NitBody({}, {{3, 1, SatelliteDelivery(192, 11597, 'V', true)}}));
    uint8_t cc = 0;
    // Only the second: a position already, no name yet.
    BroadcastIdentity id = Read(Concat({NullPackets(3), Packetise(kNit, {second}, &cc)}));
    EXPECT_EQ(id.Position, 192);
    EXPECT_STREQ(id.NetworkName, "");
    // All three, the first repeated: three transponders, listed once each.
    id = Read(Concat({NullPackets(3), Packetise(kNit, {second, first, first, third}, &cc)}));
    EXPECT_STREQ(id.NetworkName, "ASTRA 1");
    EXPECT_EQ(id.TransponderCount, 3);
    EXPECT_EQ(id.Transponders[2].FrequencyKhz, 11597000u);
    EXPECT_TRUE(id.Transponders[2].DvbS2);
    EXPECT_EQ(id.Transponders[2].Modulation, 2);  // 8PSK
    EXPECT_EQ(id.Transponders[2].RollOff, 2);     // 0.20
    EXPECT_EQ(id.Transponders[1].Modulation, 1);  // QPSK
    EXPECT_EQ(id.Transponders[0].Polarisation, 'V');  // in the order the sections came
    EXPECT_EQ(id.Transponders[1].Polarisation, 'H');
    EXPECT_EQ(id.Transponders[1].SymbolRate, 27500000u);
    EXPECT_FALSE(id.Complete);  // no SDT
    // A new version (the network moved to 23.5E) drops all of version 4.
    const Bytes moved = MakeSection(0x40, 1, 5, 0, 0, NitBody(NetworkName(Text("ASTRA 3")), {{1, 1, SatelliteDelivery(235, 11739)}}));
    id = Read(Concat({NullPackets(3), Packetise(kNit, {first, second, third, moved}, &cc)}));
    EXPECT_EQ(id.Position, 235);
    EXPECT_STREQ(id.NetworkName, "ASTRA 3");
    EXPECT_EQ(id.TransponderCount, 1);
    // The next table (current_next_indicator 0) is not read yet.
    const Bytes next = MakeSection(0x40, 1, 6, 0, 0, NitBody({}, {{1, 1, SatelliteDelivery(282, 11739)}}), false);
    EXPECT_FALSE(Read(Concat({NullPackets(3), Packetise(kNit, {next}, &cc)})).HaveNit);
}

// An operator's NIT names the operator and lists other satellites too: the
// received stream's own descriptor decides.
TEST(NitActual, TheReceivedStreamsDescriptorDecidesElseAllMustAgree) {
    const Bytes nit = MakeSection(0x40, 0x3E, 0, 0, 0,
                                  NitBody(NetworkName(Text("SkyOperator")),
                                          {{10, 2, SatelliteDelivery(282, 10773)}, {11, 2, SatelliteDelivery(192, 11914)},
                                           {12, 2, SatelliteDelivery(-300, 10900)}}));
    uint8_t nitCc = 0, sdtCc = 0;
    const Bytes nitPackets = Packetise(kNit, {nit}, &nitCc);
    BroadcastIdentity id = Read(Concat({NullPackets(3), nitPackets, Packetise(kSdt, {Sdt(11, 2, {Text("One")})}, &sdtCc)}));
    EXPECT_EQ(id.Position, 192);
    EXPECT_STREQ(id.NetworkName, "SkyOperator");
    EXPECT_EQ(id.TransponderCount, 1);
    // Without the SDT, or with a stream it does not list, they disagree: unknown.
    EXPECT_EQ(Read(Concat({NullPackets(3), nitPackets})).Position, kPositionUnknown);
    EXPECT_EQ(Read(Concat({NullPackets(3), nitPackets, Packetise(kSdt, {Sdt(99, 2, {})}, &sdtCc)})).Position,
              kPositionUnknown);
    // West positions.
    id = Read(Concat({NullPackets(3), nitPackets, Packetise(kSdt, {Sdt(12, 2, {})}, &sdtCc)}));
    EXPECT_EQ(id.Position, -300);
    // A tenth apart still agree (the commoner wins); two tenths do not.
    const Bytes close = MakeSection(0x40, 7, 0, 0, 0, NitBody({}, {{1, 7, SatelliteDelivery(130, 10719)},
                                                                   {2, 7, SatelliteDelivery(131, 10758)},
                                                                   {3, 7, SatelliteDelivery(131, 10796)}}));
    EXPECT_EQ(Read(Concat({NullPackets(3), Packetise(kNit, {close}, &nitCc)})).Position, 131);
    const Bytes apart = MakeSection(0x40, 7, 1, 0, 0, NitBody({}, {{1, 7, SatelliteDelivery(130, 10719)},
                                                                   {2, 7, SatelliteDelivery(132, 10758)}}));
    EXPECT_EQ(Read(Concat({NullPackets(3), Packetise(kNit, {apart}, &nitCc)})).Position, kPositionUnknown);
}

TEST(NitActual, ForeignAndMalformedDescriptorsGiveNoPosition) {
    uint8_t cc = 0;
    // A terrestrial NIT: terrestrial delivery descriptors (0x5A) only.
    const Bytes terrestrial = MakeSection(0x40, 0x3001, 0, 0, 0,
        NitBody(NetworkName(Text("DTT")), {{1, 0x22D4, Descriptor(0x5A, Bytes(11, 0x11))}}));
    BroadcastIdentity id = Read(Concat({NullPackets(3), Packetise(kNit, {terrestrial}, &cc)}));
    EXPECT_TRUE(id.HaveNit);
    EXPECT_STREQ(id.NetworkName, "DTT");
    EXPECT_EQ(id.Position, kPositionUnknown);
    // Tag 0x43 reused: a wrong length, hex digits, a position past 180 degrees.
    Bytes hexDigits = SatelliteDelivery(130, 11034);
    hexDigits[2 + 5] = 0x3A;
    Bytes past180 = SatelliteDelivery(130, 11034);
    past180[2 + 4] = 0x19;
    const Bytes foreign = MakeSection(0x40, 5, 0, 0, 0,
        NitBody({}, {{1, 5, Descriptor(0x43, Bytes(8, 0x01))}, {2, 5, hexDigits}, {3, 5, past180}}));
    id = Read(Concat({NullPackets(3), Packetise(kNit, {foreign}, &cc)}));
    EXPECT_TRUE(id.HaveNit);
    EXPECT_EQ(id.Position, kPositionUnknown);
    EXPECT_EQ(id.TransponderCount, 0);
    // A descriptor loop that runs past its section: the section is not read.
    Bytes body = NitBody(NetworkName(Text("Bad")), {{1, 5, SatelliteDelivery(130, 11034)}});
    body[1] += 40;
    id = Read(Concat({NullPackets(3), Packetise(kNit, {MakeSection(0x40, 5, 0, 0, 0, body)}, &cc)}));
    EXPECT_FALSE(id.HaveNit);
    EXPECT_EQ(id.Position, kPositionUnknown);
}

TEST(SdtActual, NetworkIdZeroNamesNoListedStream) {
    // The NIT lists stream 1 of network 0 at 13.0E and others at 19.2E:
    // an SDT of network 0 does not pick it; the disagreement leaves unknown.
    const Bytes nit = MakeSection(0x40, 0, 0, 0, 0, NitBody({}, {{1, 0, SatelliteDelivery(130, 11034)},
                                                               {2, 0, SatelliteDelivery(192, 11954)}}));
    uint8_t nitCc = 0, sdtCc = 0;
    const BroadcastIdentity id = Read(Concat({NullPackets(3), Packetise(kNit, {nit}, &nitCc),
                                              Packetise(kSdt, {Sdt(1, 0, {Text("Local")})}, &sdtCc)}));
    EXPECT_TRUE(id.HaveSdt);
    EXPECT_EQ(id.OriginalNetworkId, 0);
    EXPECT_STREQ(id.Services[0], "Local");
    EXPECT_EQ(id.Position, kPositionUnknown);
}

TEST(SdtActual, TheFirstServicesInSectionOrderNamesTrimmed) {
    // The second section arrives first; eight services at most, in order;
    // a name of only control codes is no name.
    std::vector<Bytes> early, late;
    for (int i = 0; i < 6; ++i) early.push_back(Text("S0-" + std::to_string(i)));
    for (int i = 0; i < 6; ++i) late.push_back(Text("S1-" + std::to_string(i)));
    late[0] = {0x8A, 0x0D};
    uint8_t cc = 0;
    const BroadcastIdentity id = Read(Concat({NullPackets(3),
        Packetise(kSdt, {Sdt(4, 4, late, 1, 1), Sdt(4, 4, early, 0, 1)}, &cc)}));
    ASSERT_EQ(id.ServiceCount, kMaxIdentityServices);
    EXPECT_STREQ(id.Services[0], "S0-0");
    EXPECT_STREQ(id.Services[5], "S0-5");
    EXPECT_STREQ(id.Services[6], "S1-1");
    EXPECT_STREQ(id.Services[7], "S1-2");
}

TEST(BroadcastIdentity, ResetForgetsTheTransponder) {
    IdentityReaderPtr reader = CreateIdentityReader();
    const Bytes stream = HotBirdStream();
    FeedTransportStream(reader.get(), stream.data(), stream.size() - 100);
    ResetIdentityReader(reader.get());
    BroadcastIdentity id = ReadBroadcastIdentity(*reader);
    EXPECT_FALSE(id.Synchronised || id.HaveNit || id.HaveSdt);
    EXPECT_EQ(id.Position, kPositionUnknown);
    FeedTransportStream(reader.get(), stream.data(), stream.size());
    ExpectHotBird(ReadBroadcastIdentity(*reader));
}

// Astra's sort at 19.2E, the received stream 1057 of network 1.
Bytes AstraNit() {
    return MakeSection(0x40, 1, 0, 0, 0, NitBody(NetworkName(Text("ASTRA 1")),
                                                 {{1057, 1, SatelliteDelivery(192, 11362)},
                                                  {1019, 1, SatelliteDelivery(192, 11244)}}));
}

TEST(BroadcastIdentity, AnotherStreamsTableEndsBothOfTheOldOnes) {
    // The dish swings from Hot Bird to Astra while the lock holds: Astra's
    // SDT comes first. Hot Bird's NIT must not give its position to it.
    uint8_t nitCc = 5, sdtCc = 5;  // going on from HotBirdStream's packets
    IdentityReaderPtr reader = CreateIdentityReader();
    const Bytes hotBird = HotBirdStream();
    FeedTransportStream(reader.get(), hotBird.data(), hotBird.size());
    ExpectHotBird(ReadBroadcastIdentity(*reader));
    const Bytes astraSdt = Packetise(kSdt, {Sdt(1057, 1, {Text("Das Erste HD")})}, &sdtCc);
    FeedTransportStream(reader.get(), astraSdt.data(), astraSdt.size());
    BroadcastIdentity id = ReadBroadcastIdentity(*reader);
    EXPECT_EQ(id.Position, kPositionUnknown);
    EXPECT_FALSE(id.HaveNit);
    EXPECT_STREQ(id.NetworkName, "");
    EXPECT_EQ(id.TransportStreamId, 1057);
    ASSERT_EQ(id.ServiceCount, 1);
    EXPECT_STREQ(id.Services[0], "Das Erste HD");
    EXPECT_FALSE(id.Complete);
    const Bytes astraNit = Packetise(kNit, {AstraNit()}, &nitCc);
    FeedTransportStream(reader.get(), astraNit.data(), astraNit.size());
    id = ReadBroadcastIdentity(*reader);
    EXPECT_EQ(id.Position, 192);
    EXPECT_STREQ(id.NetworkName, "ASTRA 1");
    EXPECT_TRUE(id.Complete);

    // Now the NIT of another network comes first: Astra's SDT ends with it,
    // and what the new NIT alone says is all there is.
    const Bytes hotBirdNit = Packetise(kNit, {HotBirdNit()}, &nitCc);
    FeedTransportStream(reader.get(), hotBirdNit.data(), hotBirdNit.size());
    id = ReadBroadcastIdentity(*reader);
    EXPECT_EQ(id.Position, 130);
    EXPECT_EQ(id.NetworkId, 318);
    EXPECT_FALSE(id.HaveSdt);
    EXPECT_EQ(id.ServiceCount, 0);
}

// Table by table into one reader, as a stream brings them.
struct TableFeed {
    TableFeed() {
        const Bytes sync = NullPackets(3);
        FeedTransportStream(Reader.get(), sync.data(), sync.size());
    }
    BroadcastIdentity Take(uint16_t pid, const Bytes& section) {
        const Bytes packets = Packetise(pid, {section}, pid == kNit ? &NitCc : &SdtCc);
        FeedTransportStream(Reader.get(), packets.data(), packets.size());
        return ReadBroadcastIdentity(*Reader);
    }
    IdentityReaderPtr Reader = CreateIdentityReader();
    uint8_t NitCc = 0, SdtCc = 0;
};

TEST(BroadcastIdentity, ANitIsNeverCombinedWithTheSdtOfAnotherStream) {
    // Hot Bird's NIT came, then the stream became Astra's before Hot Bird's
    // SDT did: Astra's SDT, even repeated, gets nothing from Hot Bird's NIT.
    TableFeed feed;
    EXPECT_EQ(feed.Take(kNit, HotBirdNit()).Position, 130);  // a NIT alone names its satellite
    const Bytes astraSdt = Sdt(1057, 1, {Text("Das Erste HD")});
    for (int round = 0; round < 3; ++round) {
        const BroadcastIdentity id = feed.Take(kSdt, astraSdt);
        EXPECT_EQ(id.Position, kPositionUnknown);
        EXPECT_EQ(id.TransponderCount, 0);
        EXPECT_FALSE(id.Complete);
    }
    // Astra's NIT ends Hot Bird's; with Astra's SDT again it is Astra.
    EXPECT_EQ(feed.Take(kNit, AstraNit()).HaveSdt, false);
    const BroadcastIdentity id = feed.Take(kSdt, astraSdt);
    EXPECT_EQ(id.Position, 192);
    EXPECT_TRUE(id.Complete);
}

TEST(BroadcastIdentity, AnSdtIsNeverCombinedWithTheNitOfAnotherStream) {
    // Astra's SDT alone, then Hot Bird's NIT (the stream changed before
    // Astra's NIT came): neither the NIT again nor its position counts.
    TableFeed feed;
    EXPECT_EQ(feed.Take(kSdt, Sdt(1057, 1, {Text("Das Erste HD")})).Position, kPositionUnknown);
    for (int round = 0; round < 3; ++round) {
        const BroadcastIdentity id = feed.Take(kNit, HotBirdNit());
        EXPECT_TRUE(id.HaveNit && id.HaveSdt);
        EXPECT_EQ(id.Position, kPositionUnknown);
        EXPECT_FALSE(id.Complete);
    }
    // Hot Bird's own SDT ends both of the tables before it; with Hot Bird's
    // NIT again, which lists it, it is Hot Bird.
    const BroadcastIdentity id = feed.Take(kSdt, Sdt(1000, 318, {Text("Rai 1"), Text("Rai 2")}));
    EXPECT_FALSE(id.HaveNit);
    EXPECT_EQ(id.Position, kPositionUnknown);
    ExpectHotBird(feed.Take(kNit, HotBirdNit()));
}

TEST(BroadcastIdentity, ANitThatDoesNotListItsStreamCountsOnceBothTablesCameAgain) {
    // Hot Bird's NIT without the received stream 1000 in its loop.
    const Bytes nit = MakeSection(0x40, 318, 0, 0, 0, NitBody(NetworkName(Text("Hot Bird")),
                                  {{1100, 318, SatelliteDelivery(130, 11200)}, {1200, 318, SatelliteDelivery(130, 12111)}}));
    const Bytes sdt = Sdt(1000, 318, {Text("Rai 1")});
    // The SDT first: its repeat alone, or the NIT's alone, is not enough.
    TableFeed sdtFirst;
    EXPECT_EQ(sdtFirst.Take(kSdt, sdt).Position, kPositionUnknown);
    EXPECT_EQ(sdtFirst.Take(kNit, nit).Position, kPositionUnknown);
    EXPECT_EQ(sdtFirst.Take(kNit, nit).Position, kPositionUnknown);
    BroadcastIdentity id = sdtFirst.Take(kSdt, sdt);
    EXPECT_EQ(id.Position, 130);
    EXPECT_TRUE(id.Complete);
    EXPECT_EQ(id.TransponderCount, 2);
    // The NIT first: named by itself, unknown once an SDT it does not list
    // comes, named again once each came again.
    TableFeed nitFirst;
    EXPECT_EQ(nitFirst.Take(kNit, nit).Position, 130);
    EXPECT_EQ(nitFirst.Take(kSdt, sdt).Position, kPositionUnknown);
    EXPECT_EQ(nitFirst.Take(kSdt, sdt).Position, kPositionUnknown);
    id = nitFirst.Take(kNit, nit);
    EXPECT_EQ(id.Position, 130);
    EXPECT_TRUE(id.Complete);
    // A new version of either table is a table to see again.
    EXPECT_EQ(nitFirst.Take(kSdt, MakeSection(0x42, 1000, 1, 0, 0, SdtBody(318, {Text("Rai 2")}))).Position,
              kPositionUnknown);
}

TEST(BroadcastIdentity, TheSameStreamsTablesAddUpAndAnotherNetworkIdIsAnotherStream) {
    uint8_t sdtCc = 5;  // going on from HotBirdStream's packets
    IdentityReaderPtr reader = CreateIdentityReader();
    // A new version of the same stream's SDT changes the services, not the rest.
    const Bytes sameStream = Concat({HotBirdStream(), Packetise(kSdt, {MakeSection(0x42, 1000, 5, 0, 0,
                                     SdtBody(318, {Text("Rai 3")}))}, &sdtCc)});
    FeedTransportStream(reader.get(), sameStream.data(), sameStream.size());
    BroadcastIdentity id = ReadBroadcastIdentity(*reader);
    EXPECT_EQ(id.Position, 130);
    EXPECT_STREQ(id.NetworkName, "Hot Bird");
    EXPECT_STREQ(id.Services[0], "Rai 3");
    // Stream 1000 of another original network is another stream.
    const Bytes otherNetwork = Packetise(kSdt, {Sdt(1000, 319, {Text("Other")})}, &sdtCc);
    FeedTransportStream(reader.get(), otherNetwork.data(), otherNetwork.size());
    id = ReadBroadcastIdentity(*reader);
    EXPECT_EQ(id.Position, kPositionUnknown);
    EXPECT_FALSE(id.HaveNit);
    EXPECT_EQ(id.OriginalNetworkId, 319);
}

TEST(BroadcastIdentity, PositionsAreFormattedAsTheListWritesThem) {
    char text[8];
    const std::pair<int16_t, const char*> cases[] = {
        {130, "13.0E"}, {192, "19.2E"}, {-300, "30.0W"}, {-8, "0.8W"}, {1800, "180.0E"}, {kPositionUnknown, "unknown"}};
    for (const auto& c : cases) {
        FormatPosition(c.first, text);
        EXPECT_STREQ(text, c.second);
    }
}

}  // namespace
