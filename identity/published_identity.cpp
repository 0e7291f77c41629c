#include "identity/published_identity.h"

#include "common/published_words.h"

namespace {
constexpr int kShownWords = sizeof(ShownIdentity) / 4;
}

ShownIdentity ShowIdentity(const SatelliteIdentity& identity) {
    ShownIdentity shown;
    shown.Record = identity;
    FormatIdentityLine(identity, shown.Line);
    return shown;
}

void PublishIdentity(PublishedIdentity* published, const SatelliteIdentity& identity) {
    const ShownIdentity shown = ShowIdentity(identity);
    PublishWords(published->Sequence, published->Words, kShownWords, &shown);
}

ShownIdentity ReadPublishedIdentity(const PublishedIdentity& published) {
    ShownIdentity shown;
    ReadPublishedWords(published.Sequence, published.Words, kShownWords, &shown);
    return shown;
}
