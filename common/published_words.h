// Words published whole by their one writer for readers on other threads: a
// sequence count that is odd while the words are rewritten, so a reader that
// overlapped a rewrite knows to read again. The caption and the satellite's
// identity are published this way. Free of windows.h.
#pragma once
#include <atomic>
#include <cstdint>
#include <cstring>

inline void PublishWords(std::atomic<uint32_t>& sequence, std::atomic<uint32_t>* words, int count,
                         const void* bytes) {
    const uint32_t before = sequence.load();
    sequence.store(before + 1);  // odd: being rewritten
    for (int i = 0; i < count; ++i) {
        uint32_t word;
        std::memcpy(&word, static_cast<const char*>(bytes) + 4 * i, 4);
        words[i].store(word);
    }
    sequence.store(before + 2);
}

// Copies the words of one publication, never a mix of two. The writers
// publish rarely (a caption per measurement start, an identity when it
// changes), so a second pass is rare and a third rarer still.
inline void ReadPublishedWords(const std::atomic<uint32_t>& sequence, const std::atomic<uint32_t>* words,
                               int count, void* bytes) {
    for (;;) {
        const uint32_t before = sequence.load();
        if (before & 1) continue;
        for (int i = 0; i < count; ++i) {
            const uint32_t word = words[i].load();
            std::memcpy(static_cast<char*>(bytes) + 4 * i, &word, 4);
        }
        if (sequence.load() == before) return;
    }
}
