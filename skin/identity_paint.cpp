#include "skin/identity_paint.h"

#include <cstring>

#include "app/app_state.h"
#include "skin/colours.h"

namespace {

// Smaller than the caption's so that it fits between the caption and the
// big digits; the default face in whatever script the network names itself.
HFONT IdentityFont() {
    if (!App.IdentityFont) {
        LOGFONTW description = {};
        description.lfHeight = 16;
        description.lfWeight = FW_NORMAL;
        description.lfCharSet = DEFAULT_CHARSET;
        App.IdentityFont = CreateFontIndirectW(&description);
    }
    return App.IdentityFont;
}

// A mismatch also says which way to turn toward the wanted satellite, after
// the line, where the area has room for the whole of it; else the line stays
// as it is (its end cut with an ellipsis where it is too long).
void AddTurnWhereItFits(const SatelliteIdentity& identity, char line[kIdentityLineBytes]) {
    static const char kSeparator[] = "; ";
    const char* turn = TurnWords(identity);
    const size_t length = std::strlen(line);
    if (!*turn || length + sizeof kSeparator + std::strlen(turn) > kIdentityLineBytes) return;
    char longer[kIdentityLineBytes];
    std::memcpy(longer, line, length);
    std::memcpy(longer + length, kSeparator, sizeof kSeparator - 1);
    std::memcpy(longer + length + sizeof kSeparator - 1, turn, std::strlen(turn) + 1);
    wchar_t wide[kIdentityLineBytes];
    const int count = MultiByteToWideChar(CP_UTF8, 0, longer, -1, wide, kIdentityLineBytes);
    if (count <= 1) return;  // nothing converted: nothing to measure
    RECT needed = {0, 0, 0, 0};
    const HGDIOBJ previous = SelectObject(App.WindowDC, IdentityFont());
    DrawTextW(App.WindowDC, wide, count - 1, &needed, DT_CALCRECT | DT_SINGLELINE | DT_NOPREFIX);
    SelectObject(App.WindowDC, previous);
    if (needed.right <= kIdentityArea.right - kIdentityArea.left)
        std::memcpy(line, longer, std::strlen(longer) + 1);
}

}  // namespace

COLORREF IdentityColour(int match) {
    if (match == IdentityConfirmed) return kConfirmedColour;
    if (match == IdentityMismatch) return kMismatchColour;
    return kTextColour;
}

void DrawIdentityText(HDC surface, const char* text, COLORREF colour) {
    // Network names are UTF-8; the wide text API draws any script.
    wchar_t wide[kIdentityLineBytes];
    const int count = MultiByteToWideChar(CP_UTF8, 0, text, -1, wide, kIdentityLineBytes);
    if (count <= 1) return;
    RECT area = kIdentityArea;
    const HGDIOBJ previous = SelectObject(surface, IdentityFont());
    SetTextColor(surface, colour);
    DrawTextW(surface, wide, count - 1, &area, DT_CENTER | DT_SINGLELINE | DT_NOPREFIX | DT_END_ELLIPSIS);
    SelectObject(surface, previous);
}

// Drawn only while measuring under the lock, whatever was published: the
// poller publishes the lock and the identity one after the other, and a
// repaint may fall between them.
void PaintIdentityLine() {
    ShownIdentity shown = ReadPublishedIdentity(App.Identity);
    if (shown.Record.Match == IdentityUnknown || App.RunMode.load() != Measuring || App.SignalLocked.load() == 0)
        return;
    AddTurnWhereItFits(shown.Record, shown.Line);
    DrawIdentityText(App.WindowDC, shown.Line, IdentityColour(shown.Record.Match));
}

void ReleaseIdentityFont() {
    if (App.IdentityFont) DeleteObject(App.IdentityFont);
    App.IdentityFont = nullptr;
}
