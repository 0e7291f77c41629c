// The identity line of the measuring view, drawn by the UI thread only.
#pragma once
#include <windows.h>

// Under the caption, above the strip and the big read-out's digits, across
// the screen: the caption's text ends above it and the digits of the big
// read-out start below it, so it covers neither in either view.
constexpr RECT kIdentityArea{36, 60, 314, 78};

// Draws the line the poller published with the identity, when one is known
// and the lock is held.
void PaintIdentityLine();
// Draws a UTF-8 text as the line is drawn: its font, centred in
// kIdentityArea, on one line, cut with an ellipsis where it is too long.
void DrawIdentityText(HDC surface, const char* text, COLORREF colour);
// The colour of the line for a match value.
COLORREF IdentityColour(int match);
// Shutdown: the line's font, if one was made.
void ReleaseIdentityFont();
