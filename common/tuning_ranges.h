// The bands and symbol rates the program can tune, as the list file, the
// typed line and the list made from a satellites.xml all check them. Both
// ends belong to the range. The checks take 64-bit values: the list maker
// reads its numbers into them and may hold ones far past any real value.
#pragma once
#include <cstdint>

constexpr int32_t kCBandBottom = 3400, kCBandTop = 4200;    // MHz
constexpr int32_t kKuBandBottom = 10700, kKuBandTop = 15000;  // MHz
constexpr int32_t kLowestSymbolRate = 1000, kHighestSymbolRate = 45000;  // ksym/s
constexpr bool InCBand(int64_t mhz) { return mhz >= kCBandBottom && mhz <= kCBandTop; }
constexpr bool InKuBand(int64_t mhz) { return mhz >= kKuBandBottom && mhz <= kKuBandTop; }
constexpr bool SymbolRateInRange(int64_t ksyms) { return ksyms >= kLowestSymbolRate && ksyms <= kHighestSymbolRate; }
