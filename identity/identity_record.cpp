#include "identity/identity_record.h"

#include <cstring>

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
    uint32_t words[kIdentityWords];
    std::memcpy(words, &identity, sizeof words);
    const uint32_t sequence = published->Sequence.load();
    published->Sequence.store(sequence + 1);  // odd: being rewritten
    for (int i = 0; i < kIdentityWords; ++i) published->Words[i].store(words[i]);
    published->Sequence.store(sequence + 2);
}

SatelliteIdentity ReadPublishedIdentity(const PublishedIdentity& published) {
    uint32_t words[kIdentityWords];
    for (;;) {
        const uint32_t before = published.Sequence.load();
        if (before & 1) continue;
        for (int i = 0; i < kIdentityWords; ++i) words[i] = published.Words[i].load();
        if (published.Sequence.load() == before) break;
    }
    SatelliteIdentity identity;
    std::memcpy(&identity, words, sizeof identity);
    return identity;
}
