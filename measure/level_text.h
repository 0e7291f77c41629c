// The two-digit percentage text of a signal level, and the one 32-bit word in
// which it passes between threads.
#pragma once
#include <atomic>
#include <cstdint>

// The poller rewrites the text while the painter and the voice read it. Kept
// as one word, written and read whole, a reader always gets one reading's two
// digits: never the tens of 47 with the units of 52.
using LevelTextWord = std::atomic<uint32_t>;
static_assert(LevelTextWord::is_always_lock_free, "the level text must be one lock-free word");

// The four characters (two digits, '%', terminator) as one word, first
// character in the low byte.
constexpr uint32_t PackLevelText(const char (&text)[4]) {
    return uint32_t(uint8_t(text[0])) | uint32_t(uint8_t(text[1])) << 8 |
           uint32_t(uint8_t(text[2])) << 16 | uint32_t(uint8_t(text[3])) << 24;
}

// Writes two digits and '%' (and a terminator) for a level. The read-out has
// room for two digits only: 100 and above show as 99, a negative level as 00.
void FormatLevelText(int32_t level, char text[4]);
// Formats a level and stores its text in one write.
void WriteLevelText(LevelTextWord* word, int32_t level);
// Takes the text in one read: the four characters of a single reading.
void ReadLevelText(const LevelTextWord& word, char text[4]);
