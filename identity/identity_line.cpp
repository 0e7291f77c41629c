#include "identity/identity_line.h"

#include <cstring>

#include "identity/identity_record.h"

namespace {

// The last word of the name: from after the last space before `end`.
size_t WordStart(const char* text, size_t end) {
    size_t start = end;
    while (start > 0 && text[start - 1] != ' ') --start;
    return start;
}

}  // namespace

int16_t PositionFromCaption(const char* caption, size_t length) {
    size_t end = 0;
    for (size_t i = 0; i < length && caption[i] != '\0'; ++i)
        if (caption[i] != ' ') end = i + 1;
    const size_t start = WordStart(caption, end);
    return ReadPositionWord(caption + start, end - start);
}

int ArcTenths(int16_t found, int16_t wanted) {
    int apart = wanted - found;
    if (apart > 1800) apart -= 3600;
    if (apart < -1800) apart += 3600;
    return apart;
}

bool SameSlot(int16_t found, int16_t wanted) {
    const int apart = ArcTenths(found, wanted);
    return apart >= -kSameSlotTenths && apart <= kSameSlotTenths;
}

void CompareIdentity(SatelliteIdentity* identity) {
    if (identity->Position == kPositionUnknown) {
        identity->Match = IdentityUnknown;
    } else if (identity->Expected == kPositionUnknown) {
        identity->Match = IdentityAlone;
    } else {
        identity->Match = SameSlot(identity->Position, identity->Expected) ? IdentityConfirmed : IdentityMismatch;
    }
}

const char* TurnWords(const SatelliteIdentity& identity) {
    if (identity.Match != IdentityMismatch || identity.Position == kPositionUnknown ||
        identity.Expected == kPositionUnknown)
        return "";
    return ArcTenths(identity.Position, identity.Expected) > 0 ? "turn east" : "turn west";
}

namespace {

// Appends text to the line, always leaving it terminated within its size.
void AppendText(char* line, size_t* used, const char* text) {
    while (*text && *used + 1 < kIdentityLineBytes) line[(*used)++] = *text++;
    line[*used] = '\0';
}

}  // namespace

void FormatIdentityLine(const SatelliteIdentity& identity, char text[kIdentityLineBytes]) {
    text[0] = '\0';
    if (identity.Match == IdentityUnknown) return;
    char received[8], expected[8];
    FormatPosition(identity.Position, received);
    FormatPosition(identity.Expected, expected);
    // The name as published: terminated within its field.
    char name[kNetworkNameBytes];
    std::memcpy(name, identity.NetworkName, sizeof name);
    name[kNetworkNameBytes - 1] = '\0';
    const bool named = name[0] != '\0';
    size_t used = 0;
    switch (identity.Match) {
    case IdentityConfirmed:
        AppendText(text, &used, received);
        AppendText(text, &used, named ? " confirmed: " : " confirmed");
        break;
    case IdentityMismatch:
        AppendText(text, &used, "not ");
        AppendText(text, &used, expected);
        AppendText(text, &used, ": this is ");
        AppendText(text, &used, received);
        if (named) AppendText(text, &used, ", ");
        break;
    default:
        AppendText(text, &used, received);
        if (named) AppendText(text, &used, " ");
        break;
    }
    AppendText(text, &used, name);
}
