#include "app/published_caption.h"

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
