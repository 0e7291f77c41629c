// Embedded data of the program, used in place.
#pragma once
#include <cstdint>

// Finds, loads and locks an RCDATA resource of the program; null when it is
// missing. The bytes are read-only and live as long as the process.
const uint8_t* LockProgramResource(const char* name, uint32_t* size);
