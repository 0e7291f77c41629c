// The colours the window is drawn in, each written once.
#pragma once
#include <windows.h>

// All text, and the identity line for a typed transponder.
constexpr COLORREF kTextColour = RGB(0, 0, 30);
// The searching line and the read-out while there is no signal.
constexpr COLORREF kNoSignalColour = RGB(255, 0, 0);
// The screen of the window face, and the strip the entry line is typed in.
constexpr COLORREF kScreenColour = RGB(128, 197, 255);
constexpr COLORREF kEntryStripColour = RGB(159, 211, 255);
constexpr COLORREF kBarColour = RGB(240, 240, 255);
// The identity line: the chosen satellite confirmed (dark green), another one (dark red).
constexpr COLORREF kConfirmedColour = RGB(0, 100, 0);
constexpr COLORREF kMismatchColour = RGB(190, 0, 0);
