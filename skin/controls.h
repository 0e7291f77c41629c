// The skin's controls, one table entry each: where the pointer hits it, the
// faces it shows in each state, and its tooltip. The hit regions, painting,
// hover feedback and the tooltips all read this one table.
#pragma once
#include <windows.h>
#include <array>
#include <cstdint>

#include "app/app_state.h"
#include "skin/faces.h"

// A control's normal and hover face for one state.
struct FacePair {
    SheetFace Normal;
    SheetFace Hover;
};

enum class HitShape : uint8_t { Rectangle, Ellipse };

// What picks a control's current face pair from its Faces.
enum class FaceChoice : uint8_t { Fixed, ByLanguage, BySoundMode, ByView };

// The views of the window that pick the bottom buttons' faces.
enum View : uint8_t { ListView, ManualView, SlowView, FastView, OtherCadenceView, kViewCount };

// A control has at most one face pair per view, per language or per sound mode.
constexpr int kFaceStates = kViewCount;
static_assert(int(Muted) < kFaceStates && int(Russian) < kFaceStates,
              "every sound mode and language has its face pair");

struct SkinControl {
    HitShape Shape;
    RECT Hit;  // a rectangle, or the rectangle the ellipse is inscribed in
    uint8_t AppState::*Hover;  // the control's hover flag
    FaceChoice Choice;
    // Indexed by the choice's value (Fixed: entry 0); a pair without a normal
    // face means the control shows nothing in that state and is not tracked.
    FacePair Faces[kFaceStates];
    const char* Tip;  // null: no tooltip
    int TipReach;     // how far the tooltip's area reaches below the hit area
};

// Indexed by ButtonRegion.
extern const SkinControl kSkinControls[kButtonRegionCount];
using BottomButtonOrder = std::array<ButtonRegion, 3>;
// The bottom buttons in the order they are drawn and tracked in the current
// RunMode: the start button first in Setup, the middle one while measuring.
const BottomButtonOrder& BottomButtons();

View CurrentView();
// The pair the control shows now, or null when it shows nothing.
const FacePair* CurrentFaces(ButtonRegion control);
// Where a face of the control is drawn: at the control's left edge, its
// bottom on the control's bottom edge.
POINT FaceOrigin(ButtonRegion control, const SheetFace& face);
RECT TooltipArea(ButtonRegion control);

// The keypad: 16 keys in one row. Each legend starts two pixels right of and
// two above its key's top-left corner.
RECT KeypadKeyArea(int key);
POINT KeypadLegendAt(int key);

void CreateButtonRegions();
void CreateKeypadRegions();
