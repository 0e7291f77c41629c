// Pointer, keys and characters sent to the real window and to the list's key
// filter, with what the window then shows.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include "app/app_state.h"
#include "message_box_watcher.h"
#include "sim_tuner_support.h"
#include "skin/faces.h"
#include "window_test_support.h"

namespace {

LPARAM At(int x, int y) { return MAKELPARAM(x, y); }
void Move(int x, int y) { SendMessageA(App.MainWindow, WM_MOUSEMOVE, 0, At(x, y)); }
void Click(int x, int y) { SendMessageA(App.MainWindow, WM_LBUTTONDOWN, MK_LBUTTON, At(x, y)); }
void Key(WPARAM key) { SendMessageA(App.MainWindow, WM_KEYDOWN, key, 0); }
void Char(char c) { SendMessageA(App.MainWindow, WM_CHAR, static_cast<WPARAM>(c), 0); }

// Whether the window shows the given face at the given place, right now.
bool Shows(const SheetFace& face, POINT at) {
    for (int y = 0; y < face.Height; ++y)
        for (int x = 0; x < face.Width; ++x)
            if (GetPixel(App.WindowDC, at.x + x, at.y + y) != SheetPixel(face.X + x, face.Y + y))
                return false;
    return true;
}

void Start() {
    UseSimulatedTuner("latency 0\n");
    StartProgram();
}

void StartManual() {
    Start();
    Char('m');
    PumpMessages(50);
    ASSERT_EQ(App.InputMode, ManualMode);
}

}  // namespace

TEST(Pointer, CloseBoxHoverFaceComesAndGoes) {
    Start();
    Move(295, 10);
    EXPECT_EQ(App.HoverClose, 1);
    EXPECT_TRUE(Shows(kClose[1], kCloseAt));
    Move(295, 12);  // still inside: nothing is drawn again, the flag stays
    EXPECT_EQ(App.HoverClose, 1);
    Move(200, 60);
    EXPECT_EQ(App.HoverClose, 0);
    EXPECT_TRUE(Shows(kClose[0], kCloseAt));
    EXPECT_EQ(App.PointerX, 200);
    EXPECT_EQ(App.PointerY, 60);
}

TEST(Pointer, SideButtonsShowTheirCurrentFaceOnHover) {
    Start();
    Move(10, 40);
    EXPECT_TRUE(Shows(kEnglishFlag, kLanguageAt));
    Move(10, 75);
    EXPECT_TRUE(Shows(kEmptySocket, kLanguageAt));
    EXPECT_TRUE(Shows(kNoteIcon, kSoundAt));
    Move(10, 110);
    EXPECT_TRUE(Shows(kHouseIcon, kHomeAt));
    EXPECT_TRUE(Shows(kEmptySocket, kSoundAt));
}

TEST(Pointer, MutedSoundButtonDrawsNothingButSetsItsFlag) {
    Start();
    App.SoundMode.store(Muted);
    Move(10, 75);
    EXPECT_EQ(App.HoverSound, 1);
    EXPECT_TRUE(Shows(kEmptySocket, kSoundAt));
    Click(10, 75);
    EXPECT_EQ(App.SoundMode.load(), Muted);
    EXPECT_TRUE(Shows(kEmptySocket, kSoundAt));
}

TEST(Pointer, SideButtonClicksShowTheNextFace) {
    Start();
    Click(10, 40);
    EXPECT_EQ(App.VoiceLanguage.load(), Russian);
    EXPECT_TRUE(Shows(kRussianFlag, kLanguageAt));
    Click(10, 75);
    EXPECT_EQ(App.SoundMode.load(), Voice);
    EXPECT_TRUE(Shows(kLipsIcon, kSoundAt));
    Click(10, 75);
    EXPECT_TRUE(Shows(kSilentIcon, kSoundAt));
}

TEST(Pointer, KeypadKeysInvertAndType) {
    StartManual();
    Key(VK_DELETE);
    const COLORREF before = GetPixel(App.WindowDC, 45, 140);
    Move(45, 140);  // key 0
    EXPECT_EQ(App.HoverKey[0], 1);
    EXPECT_EQ(GetPixel(App.WindowDC, 45, 140), before ^ 0xFFFFFF);
    Move(200, 60);
    EXPECT_EQ(App.HoverKey[0], 0);
    EXPECT_EQ(GetPixel(App.WindowDC, 45, 140), before);
    Click(45, 140);       // '1'
    Click(40 + 17 * 10 + 3, 140);  // 'H'
    EXPECT_EQ(std::string(App.EntryLine.Text, 2), "1H");
    Click(40 + 17 * 14 + 3, 140);  // '<'
    EXPECT_EQ(std::string(App.EntryLine.Text, 2), "1 ");
    Click(40 + 17 * 15 + 3, 140);  // 'C'
    EXPECT_EQ(App.EntryLine.Position, 0);
}

TEST(Pointer, RefusedTypedLineIsReportedOnce) {
    StartManual();
    Key(VK_DELETE);
    for (char c : std::string("374V29270")) Char(c);
    Click(272, 174);
    const auto boxes = TakeMessageBoxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].Text, "Transponder parameters error");
    EXPECT_EQ(boxes[0].Caption, "Error");
    EXPECT_EQ(boxes[0].Owner, App.MainWindow);
    EXPECT_EQ(boxes[0].Buttons, std::vector<std::string>{"OK"});
    Key(VK_RETURN);
    EXPECT_EQ(TakeMessageBoxes().size(), 1u);
    EXPECT_EQ(App.RunMode.load(), ::Setup);
}

TEST(Pointer, RightOfTheStartButtonsRegionNothingHappens) {
    StartManual();
    Key(VK_DELETE);
    for (char c : std::string("374V29270")) Char(c);
    for (int x = 304; x <= 313; ++x) Click(x, 174);
    EXPECT_TRUE(TakeMessageBoxes().empty());
    Click(310, 10);  // the top strip right of the boxes
    EXPECT_TRUE(IsWindow(App.MainWindow));
}

TEST(Pointer, CloseBoxEndsTheProgram) {
    Start();
    Click(295, 10);
    EXPECT_FALSE(IsWindow(App.MainWindow));
    EXPECT_EQ(RunUntilQuit(), 0);
}

TEST(Keys, CharactersTypeOnlyTheirOwnLetters) {
    StartManual();
    Key(VK_DELETE);
    for (char c : std::string("1a2b3h4v5cxM")) Char(c);
    EXPECT_EQ(std::string(App.EntryLine.Text, 10), "1A2B3H4V5 ");
    EXPECT_EQ(App.InputMode, ListMode);  // the final M switched back
}

TEST(Keys, BackspaceErasesWhileTypingAndEndsAMeasurement) {
    StartManual();
    Key(VK_BACK);
    EXPECT_EQ(std::string(App.EntryLine.Text, 13), "12245H2750   ");
    Key(VK_RETURN);  // the default line starts a measurement
    ASSERT_EQ(App.RunMode.load(), Measuring);
    Key(VK_RETURN);  // while measuring: the About box
    EXPECT_EQ(TakeMessageBoxes().size(), 1u);
    SendMessageA(App.MainWindow, WM_LBUTTONDBLCLK, 0, At(200, 100));
    EXPECT_EQ(App.BigReadout.load(), 1);
    Char('m');
    EXPECT_EQ(App.SoundMode.load(), Muted);
    Key(VK_BACK);
    EXPECT_EQ(App.RunMode.load(), ::Setup);
    EXPECT_EQ(App.InputMode, ManualMode);
    StopMeasurement();
}

TEST(Keys, EscapeEndsTheProgram) {
    Start();
    Key(VK_ESCAPE);
    EXPECT_FALSE(IsWindow(App.MainWindow));
    EXPECT_EQ(RunUntilQuit(), 0);
}

TEST(ComboKeys, ModeKeyAndEscapeReachTheActions) {
    Start();
    ASSERT_NE(App.ComboKeyTarget, nullptr);
    SendMessageA(App.ComboKeyTarget, WM_KEYDOWN, 'M', 0);
    EXPECT_EQ(App.InputMode, ManualMode);
    EXPECT_FALSE(IsWindowVisible(App.SatelliteCombo));
    SendMessageA(App.ComboKeyTarget, WM_KEYDOWN, VK_ESCAPE, 0);
    EXPECT_FALSE(IsWindow(App.MainWindow));
    EXPECT_EQ(RunUntilQuit(), 0);
}

TEST(ComboKeys, EnterStartsTheChosenSatellite) {
    Start();
    SendMessageA(App.SatelliteCombo, CB_SETCURSEL, 53, 0);
    SendMessageA(App.ComboKeyTarget, WM_KEYDOWN, VK_RETURN, 0);
    EXPECT_EQ(App.RunMode.load(), Measuring);
    StopMeasurement();
}

TEST(Tooltips, ThreeToolsOnTheSideButtons) {
    Start();
    HWND tooltips = nullptr;
    while ((tooltips = FindWindowExA(nullptr, tooltips, "tooltips_class32", nullptr)))
        if (GetWindow(tooltips, GW_OWNER) == App.MainWindow) break;
    ASSERT_NE(tooltips, nullptr);
    ASSERT_EQ(SendMessageA(tooltips, TTM_GETTOOLCOUNT, 0, 0), 3);
    const struct {
        RECT Area;
        const char* Text;
    } expected[] = {{{5, 35, 25, 50}, "voice"}, {{5, 70, 25, 95}, "tone or voice"},
                    {{5, 105, 25, 120}, "home site"}};
    for (int i = 0; i < 3; ++i) {
        char text[80] = {};
        TOOLINFOA tool = {};
        tool.cbSize = TTTOOLINFOA_V2_SIZE;
        tool.lpszText = text;
        ASSERT_TRUE(SendMessageA(tooltips, TTM_ENUMTOOLSA, i, reinterpret_cast<LPARAM>(&tool)));
        EXPECT_STREQ(text, expected[i].Text);
        EXPECT_EQ(tool.hwnd, App.MainWindow);
        EXPECT_EQ(tool.uFlags & TTF_SUBCLASS, static_cast<UINT>(TTF_SUBCLASS));
        EXPECT_EQ(tool.rect.left, expected[i].Area.left);
        EXPECT_EQ(tool.rect.top, expected[i].Area.top);
        EXPECT_EQ(tool.rect.right, expected[i].Area.right);
        EXPECT_EQ(tool.rect.bottom, expected[i].Area.bottom);
    }
}
