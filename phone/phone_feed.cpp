#include "phone/phone_feed.h"

#include <cstring>

#include "app/modes.h"
#include "measure/level_text.h"

namespace {

constexpr int kCaptionWords = kCaptionLength / 4;

uint32_t PackWord(const char* four) {
    return uint32_t(uint8_t(four[0])) | uint32_t(uint8_t(four[1])) << 8 |
           uint32_t(uint8_t(four[2])) << 16 | uint32_t(uint8_t(four[3])) << 24;
}

void UnpackWord(uint32_t word, char* four) {
    for (int i = 0; i < 4; ++i) four[i] = static_cast<char>(word >> (8 * i));
}

}  // namespace

void PublishCaption(PublishedCaption* published, const char* caption) {
    const uint32_t sequence = published->Sequence.load();
    published->Sequence.store(sequence + 1);  // odd: being rewritten
    for (int i = 0; i < kCaptionWords; ++i) published->Words[i].store(PackWord(caption + 4 * i));
    published->Sequence.store(sequence + 2);
}

void ReadPublishedCaption(const PublishedCaption& published, char caption[kCaptionLength]) {
    // The writer rewrites 32 bytes once per measurement start, so a second
    // pass is rare and a third rarer still.
    for (;;) {
        const uint32_t before = published.Sequence.load();
        if (before & 1) continue;
        for (int i = 0; i < kCaptionWords; ++i) UnpackWord(published.Words[i].load(), caption + 4 * i);
        if (published.Sequence.load() == before) return;
    }
}

PhoneSnapshot TakePhoneSnapshot(const PhoneFeed& feed) {
    PhoneSnapshot snapshot;
    snapshot.Measuring = feed.RunMode->load() == Measuring;
    snapshot.Locked = feed.SignalLocked->load() != 0;
    snapshot.Level = feed.SignalLevel->load();
    ReadLevelText(*feed.LevelText, snapshot.LevelText);
    ReadPublishedCaption(*feed.Caption, snapshot.Caption);
    snapshot.SoundMode = feed.SoundMode->load();
    snapshot.VoiceLanguage = feed.VoiceLanguage->load();
    snapshot.Cadence = feed.Cadence->load();
    snapshot.Identity = ReadPublishedIdentity(*feed.Identity);
    return snapshot;
}

bool SameSnapshot(const PhoneSnapshot& a, const PhoneSnapshot& b) {
    return a.Measuring == b.Measuring && a.Locked == b.Locked && a.Level == b.Level &&
           std::memcmp(a.LevelText, b.LevelText, sizeof a.LevelText) == 0 &&
           std::memcmp(a.Caption, b.Caption, sizeof a.Caption) == 0 &&
           a.SoundMode == b.SoundMode && a.VoiceLanguage == b.VoiceLanguage &&
           a.Cadence == b.Cadence && std::memcmp(&a.Identity, &b.Identity, sizeof a.Identity) == 0;
}
