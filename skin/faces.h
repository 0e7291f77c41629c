// The skin sheet's inventory: where each face lies on the sheet.
#pragma once

// A face of the skin sheet, given top-down as (x, y, width, height). A face
// of width 0 is no face: drawing it draws nothing.
struct SheetFace {
    int X, Y, Width, Height;
};

// The window is exactly as large as its face, the sheet's left part.
constexpr int kWindowWidth = 350;
constexpr int kWindowHeight = 200;

constexpr SheetFace kNoFace{0, 0, 0, 0};
constexpr SheetFace kWindowFace{0, 0, kWindowWidth, kWindowHeight};
constexpr SheetFace kEmptySocket{5, 35, 20, 15};

// Button faces: normal and hover.
constexpr SheetFace kMode0[2] = {{350, 0, 74, 28}, {350, 28, 74, 28}};
constexpr SheetFace kMode1[2] = {{424, 0, 74, 28}, {424, 28, 74, 28}};
constexpr SheetFace kFast[2] = {{498, 1, 74, 27}, {498, 29, 74, 27}};
constexpr SheetFace kSlow[2] = {{572, 1, 74, 27}, {572, 29, 74, 27}};
constexpr SheetFace kEdit[2] = {{350, 56, 74, 28}, {350, 84, 74, 28}};
constexpr SheetFace kHelp[2] = {{424, 56, 74, 28}, {424, 84, 74, 28}};
constexpr SheetFace kBack[2] = {{498, 56, 74, 28}, {498, 84, 74, 28}};
constexpr SheetFace kFind[2] = {{350, 112, 74, 28}, {350, 140, 74, 28}};
constexpr SheetFace kAbout[2] = {{572, 56, 74, 28}, {572, 84, 74, 28}};
constexpr SheetFace kMinimise[2] = {{572, 112, 21, 18}, {572, 130, 21, 18}};
constexpr SheetFace kClose[2] = {{593, 112, 21, 18}, {614, 112, 21, 18}};

// Icons of the side buttons.
constexpr SheetFace kHouseIcon{350, 168, 20, 15};
constexpr SheetFace kNoteIcon{370, 168, 20, 15};
constexpr SheetFace kEnglishFlag{390, 168, 20, 15};
constexpr SheetFace kRussianFlag{410, 168, 20, 15};
constexpr SheetFace kLipsIcon{430, 168, 20, 15};
constexpr SheetFace kSilentIcon{450, 168, 20, 15};
