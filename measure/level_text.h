// The two-digit percentage text of a signal level.
#pragma once
#include <cstdint>

// Writes two digits and '%' (and a terminator) for a level. The read-out has
// room for two digits only: 100 and above show as 99, a negative level as 00.
void FormatLevelText(int32_t level, char text[4]);
