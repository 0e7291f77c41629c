// The identity line: the position a list entry's name ends with, the
// comparison with the broadcast's, and the words shown.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "identity/identity_line.h"

namespace {

int16_t FromCaption(const char* text) { return PositionFromCaption(text, std::strlen(text)); }

SatelliteIdentity Seen(int16_t position, int16_t expected, const char* name) {
    SatelliteIdentity identity;
    identity.Position = position;
    identity.Expected = expected;
    std::strncpy(identity.NetworkName, name, kNetworkNameBytes - 1);
    CompareIdentity(&identity);
    return identity;
}

std::string Line(const SatelliteIdentity& identity) {
    char text[kIdentityLineBytes];
    FormatIdentityLine(identity, text);
    return text;
}

}  // namespace

TEST(IdentityLine, PositionAtTheEndOfAListName) {
    EXPECT_EQ(FromCaption("HotBird1-6   13.0e              "), 130);
    EXPECT_EQ(FromCaption("AMC1 103.0w"), -1030);
    EXPECT_EQ(FromCaption("Astra 19.2E"), 192);
    EXPECT_EQ(FromCaption("Thor 0.8W"), -8);
    EXPECT_EQ(FromCaption("Intelsat 180.0e"), 1800);
    EXPECT_EQ(FromCaption("Sirius 5e"), 50);
    // The caption is a fixed field without a terminator: only its length is read.
    char field[32];
    std::memset(field, ' ', sizeof field);
    std::memcpy(field, "Astra 28.2e", 11);
    EXPECT_EQ(PositionFromCaption(field, sizeof field), 282);
    EXPECT_EQ(PositionFromCaption("Astra 28.2e", 9), kPositionUnknown);  // "Astra 28."
}

TEST(IdentityLine, NamesWithoutAPositionGiveNone) {
    for (const char* name : {"", "            ", "Hot Bird", "HotBird 13.0", "HotBird 13.0x", "Bird e",
                             "Bird .5e", "Bird 13.05e", "Bird 13.e", "Bird 181.0e", "Bird 999999999e",
                             "Bird 13,0e", "Bird -13.0e", "13.0e12"})
        EXPECT_EQ(FromCaption(name), kPositionUnknown) << '"' << name << '"';
}

TEST(IdentityLine, ComparesWithinAThirdOfADegree) {
    EXPECT_EQ(Seen(130, 130, "").Match, IdentityConfirmed);
    EXPECT_EQ(Seen(133, 130, "").Match, IdentityConfirmed);
    EXPECT_EQ(Seen(127, 130, "").Match, IdentityConfirmed);
    EXPECT_EQ(Seen(134, 130, "").Match, IdentityMismatch);
    EXPECT_EQ(Seen(192, 130, "").Match, IdentityMismatch);
    EXPECT_EQ(Seen(-130, 130, "").Match, IdentityMismatch);  // the same number west is elsewhere
    // Across the 180-degree meridian: 179.9W is next to 180.0E.
    EXPECT_EQ(Seen(-1799, 1800, "").Match, IdentityConfirmed);
    EXPECT_EQ(Seen(1799, -1799, "").Match, IdentityConfirmed);
    EXPECT_EQ(Seen(-1795, 1800, "").Match, IdentityMismatch);
}

TEST(IdentityLine, NothingToCompareOrNothingKnown) {
    EXPECT_EQ(Seen(192, kPositionUnknown, "ASTRA 1").Match, IdentityAlone);
    // A broadcast without a position is never a wrong satellite.
    EXPECT_EQ(Seen(kPositionUnknown, 130, "ASTRA 1").Match, IdentityUnknown);
    EXPECT_EQ(Seen(kPositionUnknown, kPositionUnknown, "").Match, IdentityUnknown);
}

TEST(IdentityLine, TheWordsShown) {
    EXPECT_EQ(Line(Seen(192, kPositionUnknown, "ASTRA 1")), "19.2E ASTRA 1");
    EXPECT_EQ(Line(Seen(130, 130, "Mediaset")), "13.0E confirmed: Mediaset");
    EXPECT_EQ(Line(Seen(192, 130, "ASTRA 1")), "not 13.0E: this is 19.2E, ASTRA 1");
    EXPECT_EQ(Line(Seen(-300, kPositionUnknown, "")), "30.0W");
    EXPECT_EQ(Line(Seen(130, 130, "")), "13.0E confirmed");
    EXPECT_EQ(Line(Seen(-300, 130, "")), "not 13.0E: this is 30.0W");
    EXPECT_EQ(Line(Seen(kPositionUnknown, 130, "ASTRA 1")), "");
}

// Which way the wanted satellite lies from the one seen, along the arc:
// only for another satellite, and the short way across 180 degrees.
TEST(IdentityLine, TheWayToTheWantedSatellite) {
    EXPECT_STREQ(TurnWords(Seen(192, 130, "ASTRA 1")), "turn west");
    EXPECT_STREQ(TurnWords(Seen(-300, 130, "")), "turn east");
    EXPECT_STREQ(TurnWords(Seen(1790, -1790, "")), "turn east");  // 179.0W is 2 degrees east of 179.0E
    EXPECT_STREQ(TurnWords(Seen(-1790, 1790, "")), "turn west");
    EXPECT_STREQ(TurnWords(Seen(130, 130, "")), "");
    EXPECT_STREQ(TurnWords(Seen(192, kPositionUnknown, "")), "");
    EXPECT_STREQ(TurnWords(Seen(kPositionUnknown, 130, "")), "");
    EXPECT_EQ(ArcTenths(1795, -1795), 10);
    EXPECT_EQ(ArcTenths(-1800, 1800), 0);
}

TEST(IdentityLine, TheLongestNameFitsAndAnUnterminatedOneIsCut) {
    SatelliteIdentity identity = Seen(192, 130, "");
    std::memset(identity.NetworkName, 'N', kNetworkNameBytes);  // no terminator
    const std::string line = Line(identity);
    EXPECT_EQ(line, "not 13.0E: this is 19.2E, " + std::string(kNetworkNameBytes - 1, 'N'));
    EXPECT_LT(line.size(), kIdentityLineBytes);
}
