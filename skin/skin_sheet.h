// The skin sheet: the embedded packed image unpacked into a drawable bitmap.
#pragma once
#include <windows.h>
#include <cstdint>

// Unpacks the named RCDATA image into a 24-bit bottom-up pixel buffer (from
// the process heap) and fills its bitmap description. When the image is
// missing or damaged it says so, destroys the window and returns null, so that
// nothing is ever drawn from garbage.
uint8_t* LoadSkinSheet(const char* resourceName, BITMAPINFO* description);
