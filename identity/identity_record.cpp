#include "identity/identity_record.h"

#include <cstring>

namespace {
constexpr int kIdentityWords = sizeof(SatelliteIdentity) / 4;
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
