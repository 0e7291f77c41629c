#include "skin/identity_paint.h"

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

void PaintIdentityLine() {
    const ShownIdentity shown = ReadPublishedIdentity(App.Identity);
    if (shown.Record.Match == IdentityUnknown) return;
    DrawIdentityText(App.WindowDC, shown.Line, IdentityColour(shown.Record.Match));
}

void ReleaseIdentityFont() {
    if (App.IdentityFont) DeleteObject(App.IdentityFont);
    App.IdentityFont = nullptr;
}
