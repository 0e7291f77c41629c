#include "common/published_caption.h"

#include "common/published_words.h"

void PublishCaption(PublishedCaption* published, const char* caption) {
    PublishWords(published->Sequence, published->Words, kCaptionLength / 4, caption);
}

void ReadPublishedCaption(const PublishedCaption& published, char caption[kCaptionLength]) {
    ReadPublishedWords(published.Sequence, published.Words, kCaptionLength / 4, caption);
}
