// The tuning parameters of one transponder and the result of a start.
#pragma once
#include <cstddef>
#include <cstdint>

#include "common/tuning_ranges.h"

struct Transponder {
    int32_t Frequency = 11344;  // MHz
    int32_t Polarisation = 0;   // 0 horizontal, 1 vertical, 3 another letter in a list entry
    int32_t SymbolRate = 27500; // ksym/s
    int32_t Diseqc = 0;         // 0 to 6
};

// A universal LNB switches to its high band from 11700 MHz on.
constexpr bool InHighBand(int32_t mhz) { return mhz > 11699; }

enum StartResult : int16_t { Accepted = 0, Rejected = 1, RejectedReported = 2 };

// Reads a numeric field from exactly its own characters: leading white space,
// an optional sign, then digits up to the first non-digit; no digits read as 0.
// Values beyond 32 bits saturate instead of overflowing.
int32_t ConvertField(const char* chars, size_t count);
