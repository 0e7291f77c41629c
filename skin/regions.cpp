#include "skin/regions.h"

#include "app/app_state.h"

void CreateButtonRegions() {
    App.Buttons[CloseBox] = CreateRectRgn(289, 6, 310, 24);
    App.Buttons[MinimiseBox] = CreateRectRgn(262, 6, 283, 24);
    App.Buttons[LeftButton] = CreateEllipticRgn(36, 160, 110, 188);
    App.Buttons[MiddleButton] = CreateEllipticRgn(138, 160, 212, 188);
    // Narrower than its 74-pixel face.
    App.Buttons[RightButton] = CreateEllipticRgn(240, 160, 304, 188);
    App.Buttons[LanguageButton] = CreateRectRgn(5, 35, 25, 50);
    App.Buttons[SoundButton] = CreateRectRgn(5, 70, 25, 85);
    App.Buttons[HomeButton] = CreateRectRgn(5, 105, 25, 120);
}

void CreateKeypadRegions() {
    for (int key = 0; key < kKeypadKeyCount; ++key)
        App.KeypadKey[key] = CreateRectRgn(40 + 17 * key, 130, 55 + 17 * key, 150);
}
