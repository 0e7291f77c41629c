#include "skin/controls.h"

namespace {

constexpr int kKeypadLeft = 40;
constexpr int kKeyPitch = 17;
constexpr int kKeyWidth = 15;
constexpr int kKeyTop = 130;
constexpr int kKeyBottom = 150;
// A key's legend starts this far right of and above the key's area.
constexpr int kLegendInset = 2;

constexpr FacePair Pair(const SheetFace (&faces)[2]) { return {faces[0], faces[1]}; }
constexpr FacePair Icon(const SheetFace& icon) { return {kEmptySocket, icon}; }

}  // namespace

const SkinControl kSkinControls[kButtonRegionCount] = {
    {HitShape::Rectangle, {289, 6, 310, 24}, &AppState::HoverClose, FaceChoice::Fixed,
     {Pair(kClose)}, nullptr, 0},
    {HitShape::Rectangle, {262, 6, 283, 24}, &AppState::HoverMinimise, FaceChoice::Fixed,
     {Pair(kMinimise)}, nullptr, 0},
    {HitShape::Ellipse, {36, 160, 110, 188}, &AppState::HoverLeft, FaceChoice::ByView,
     {Pair(kMode0), Pair(kMode1), Pair(kSlow), Pair(kFast), {kNoFace, kNoFace}}, nullptr, 0},
    {HitShape::Ellipse, {138, 160, 212, 188}, &AppState::HoverMiddle, FaceChoice::ByView,
     {Pair(kEdit), Pair(kHelp), Pair(kBack), Pair(kBack), Pair(kBack)}, nullptr, 0},
    // Narrower than its 74-pixel face.
    {HitShape::Ellipse, {240, 160, 304, 188}, &AppState::HoverRight, FaceChoice::ByView,
     {Pair(kFind), Pair(kFind), Pair(kAbout), Pair(kAbout), Pair(kAbout)}, nullptr, 0},
    {HitShape::Rectangle, {5, 35, 25, 50}, &AppState::HoverLanguage, FaceChoice::ByLanguage,
     {Icon(kEnglishFlag), Icon(kRussianFlag)}, "voice", 0},
    // Muted has no face of its own; the tooltip reaches 10 pixels lower.
    {HitShape::Rectangle, {5, 70, 25, 85}, &AppState::HoverSound, FaceChoice::BySoundMode,
     {Icon(kNoteIcon), Icon(kLipsIcon), Icon(kSilentIcon), Icon(kNoFace)}, "tone or voice", 10},
    {HitShape::Rectangle, {5, 105, 25, 120}, &AppState::HoverHome, FaceChoice::Fixed,
     {Icon(kHouseIcon)}, "home site", 0},
};

const BottomButtonOrder& BottomButtons() {
    static constexpr BottomButtonOrder kSetupOrder{RightButton, LeftButton, MiddleButton};
    static constexpr BottomButtonOrder kMeasuringOrder{MiddleButton, LeftButton, RightButton};
    return App.RunMode.load() == Measuring ? kMeasuringOrder : kSetupOrder;
}

View CurrentView() {
    if (App.RunMode.load() == Setup) return App.InputMode == ListMode ? ListView : ManualView;
    const int32_t cadence = App.Cadence.load();
    if (cadence == kSlowCadence) return SlowView;
    return cadence == kFastCadence ? FastView : OtherCadenceView;
}

const FacePair* CurrentFaces(ButtonRegion control) {
    const SkinControl& entry = kSkinControls[control];
    int index = 0;
    switch (entry.Choice) {
    case FaceChoice::Fixed: break;
    case FaceChoice::ByLanguage: index = App.VoiceLanguage.load(); break;
    case FaceChoice::BySoundMode: index = App.SoundMode.load(); break;
    case FaceChoice::ByView: index = CurrentView(); break;
    }
    if (index < 0 || index >= kFaceStates || entry.Faces[index].Normal.Width == 0) return nullptr;
    return &entry.Faces[index];
}

// The cadence faces are a row shorter than the other oval faces and so start
// a row lower.
POINT FaceOrigin(ButtonRegion control, const SheetFace& face) {
    const RECT& hit = kSkinControls[control].Hit;
    return POINT{hit.left, hit.bottom - face.Height};
}

RECT TooltipArea(ButtonRegion control) {
    RECT area = kSkinControls[control].Hit;
    area.bottom += kSkinControls[control].TipReach;
    return area;
}

RECT KeypadKeyArea(int key) {
    const int left = kKeypadLeft + kKeyPitch * key;
    return RECT{left, kKeyTop, left + kKeyWidth, kKeyBottom};
}

POINT KeypadLegendAt(int key) {
    return POINT{KeypadKeyArea(key).left + kLegendInset, kKeyTop - kLegendInset};
}

void CreateButtonRegions() {
    for (int control = 0; control < kButtonRegionCount; ++control) {
        const RECT& hit = kSkinControls[control].Hit;
        App.Buttons[control] = kSkinControls[control].Shape == HitShape::Ellipse
                                   ? CreateEllipticRgn(hit.left, hit.top, hit.right, hit.bottom)
                                   : CreateRectRgn(hit.left, hit.top, hit.right, hit.bottom);
    }
}

void CreateKeypadRegions() {
    for (int key = 0; key < kKeypadKeyCount; ++key) {
        const RECT area = KeypadKeyArea(key);
        App.KeypadKey[key] = CreateRectRgn(area.left, area.top, area.right, area.bottom);
    }
}
