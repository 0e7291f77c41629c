// The measurement's caption: its length, and the form in which threads other
// than its writer read it. Free of windows.h, so byte-level code shares it.
#pragma once
#include <atomic>
#include <cstdint>

constexpr int kCaptionLength = 32;

// The caption published whole by its one writer (the UI thread, at the start
// of a measurement) for readers on other threads (common/published_words.h).
struct PublishedCaption {
    std::atomic<uint32_t> Sequence{0};
    std::atomic<uint32_t> Words[kCaptionLength / 4] = {};
};

void PublishCaption(PublishedCaption* published, const char* caption);
// Copies the caption of one publication, never a mix of two.
void ReadPublishedCaption(const PublishedCaption& published, char caption[kCaptionLength]);
