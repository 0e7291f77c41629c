#include "identity/identity_record.h"

#include <cstring>

#include "app/published_words.h"

namespace {
constexpr int kIdentityWords = sizeof(SatelliteIdentity) / 4;
}

// Written out by hand: the C runtime's formatting would take a sizeable share
// of the program's size for five characters.
void FormatPosition(int16_t position, char text[8]) {
    if (position == kPositionUnknown || position < -1800 || position > 1800) {
        std::memcpy(text, "unknown", 8);
        return;
    }
    const int tenths = position < 0 ? -position : position;
    int at = 0;
    if (tenths >= 1000) text[at++] = char('0' + tenths / 1000);
    if (tenths >= 100) text[at++] = char('0' + tenths / 100 % 10);
    text[at++] = char('0' + tenths / 10 % 10);
    text[at++] = '.';
    text[at++] = char('0' + tenths % 10);
    text[at++] = position < 0 ? 'W' : 'E';
    text[at] = '\0';
}

void PublishIdentity(PublishedIdentity* published, const SatelliteIdentity& identity) {
    PublishWords(published->Sequence, published->Words, kIdentityWords, &identity);
}

SatelliteIdentity ReadPublishedIdentity(const PublishedIdentity& published) {
    SatelliteIdentity identity;
    ReadPublishedWords(published.Sequence, published.Words, kIdentityWords, &identity);
    return identity;
}
