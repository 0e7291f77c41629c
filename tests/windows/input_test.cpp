// Pointer, keys and characters sent to the real window and to the list's key
// filter, with what the window then shows.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <utility>
#include <vector>

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
// A double-click as the system delivers it: a click, then the double-click.
void DoubleClick(int x, int y) {
    Click(x, y);
    SendMessageA(App.MainWindow, WM_LBUTTONDBLCLK, MK_LBUTTON, At(x, y));
}

// Window moves the top strip asks for. They are taken out before the system's
// move loop, which would wait for a button that no test holds down.
std::vector<std::pair<WPARAM, LPARAM>> captionDrags;
WNDPROC programProc = nullptr;
LRESULT CALLBACK KeepCaptionDrags(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCLBUTTONDOWN) {
        captionDrags.push_back({wParam, lParam});
        return 0;
    }
    return CallWindowProcA(programProc, window, message, wParam, lParam);
}

void StartMeasuring() {
    UseSimulatedTuner("latency 2\nat 0 lock 1 level 50\n");
    StartProgram();
    App.SoundMode.store(Silent);
    ChooseHotBird();
    Key(VK_RETURN);
    ASSERT_EQ(App.RunMode.load(), Measuring);
}

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

// Only the top strip left of x 270 and above y 24 moves the window.
TEST(Pointer, TopStripMovesTheWindowAndMinimises) {
    Start();
    programProc = reinterpret_cast<WNDPROC>(SetWindowLongPtrA(
        App.MainWindow, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&KeepCaptionDrags)));
    Click(100, 23);
    Click(100, 24);
    Click(269, 5);
    Click(270, 5);
    SetWindowLongPtrA(App.MainWindow, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(programProc));
    ASSERT_EQ(captionDrags.size(), 2u);
    for (const auto& drag : captionDrags) {
        EXPECT_EQ(drag.first, static_cast<WPARAM>(HTCAPTION));
        EXPECT_EQ(drag.second, 0);
    }
    Click(270, 12);  // the minimise box
    PumpMessages(100);
    EXPECT_TRUE(IsIconic(App.MainWindow));
    EXPECT_TRUE(IsWindow(App.MainWindow));
}

// A paint puts the normal faces back even under the pointer; the hover face
// returns only when the pointer leaves and comes back.
TEST(Pointer, PaintUnderTheRestingPointerShowsTheNormalFace) {
    Start();
    Move(295, 10);
    ASSERT_TRUE(Shows(kClose[1], kCloseAt));
    InvalidateRect(App.MainWindow, nullptr, TRUE);
    UpdateWindow(App.MainWindow);
    EXPECT_TRUE(Shows(kClose[0], kCloseAt));
    EXPECT_EQ(App.HoverClose, 1);
    Move(296, 11);
    EXPECT_TRUE(Shows(kClose[0], kCloseAt));
    Move(200, 60);
    Move(295, 10);
    EXPECT_TRUE(Shows(kClose[1], kCloseAt));
}

// Two quick clicks on a key: the first types, the double-click adds nothing.
TEST(Pointer, DoubleClickOnAKeyTypesOnce) {
    StartManual();
    Key(VK_DELETE);
    DoubleClick(45, 140);  // '1'
    EXPECT_EQ(std::string(App.EntryLine.Text, 2), "1 ");
    EXPECT_EQ(App.EntryLine.Position, 1);
}

// While measuring a double-click on a button is its click and then the
// switch of the read-out.
TEST(Pointer, DoubleClickOnAButtonWhileMeasuring) {
    StartMeasuring();
    DoubleClick(73, 174);  // SLOW
    EXPECT_EQ(App.Cadence.load(), 900);
    EXPECT_EQ(App.BigReadout.load(), 1);
    StopMeasurement();
}

// The keypad's keys are looked for in every mode; outside typing only the
// clear key changes the line, and nothing behind the keys is reached.
TEST(Pointer, KeypadKeysOutsideTyping) {
    StartMeasuring();
    Click(45, 140);  // '1'
    EXPECT_EQ(std::string(App.EntryLine.Text, 13), "12245H27500  ");
    Click(40 + 17 * 14 + 3, 140);  // '<'
    EXPECT_EQ(App.EntryLine.Position, 11);
    Click(40 + 17 * 15 + 3, 140);  // 'C'
    EXPECT_EQ(std::string(App.EntryLine.Text, 13), std::string(13, ' '));
    EXPECT_EQ(App.EntryLine.Position, 0);
    EXPECT_EQ(App.RunMode.load(), Measuring);
    StopMeasurement();
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
    EXPECT_EQ(App.SoundMode.load(), Muted);  // ending a measurement keeps the mute
    StopMeasurement();
}

TEST(Keys, EscapeEndsTheProgram) {
    Start();
    Key(VK_ESCAPE);
    EXPECT_FALSE(IsWindow(App.MainWindow));
    EXPECT_EQ(RunUntilQuit(), 0);
}

TEST(Keys, EscapeEndsTheProgramWhileMeasuring) {
    StartMeasuring();
    Key(VK_ESCAPE);
    EXPECT_FALSE(IsWindow(App.MainWindow));
    EXPECT_EQ(App.PollerRunning.load(), 0);
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

namespace {

// Esc in the list destroys the window and the list with it; the key must not
// then be handed to the list's own procedure for a window that is gone.
WNDPROC listProc = nullptr;
int messagesForAGoneList = 0;
LRESULT CALLBACK WatchListProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (!IsWindow(window)) {
        ++messagesForAGoneList;
        return 0;
    }
    return CallWindowProcA(listProc, window, message, wParam, lParam);
}

}  // namespace

TEST(ComboKeys, EscapeDoesNotReachTheDestroyedList) {
    Start();
    listProc = App.SavedComboProc;
    App.SavedComboProc = WatchListProc;
    SendMessageA(App.ComboKeyTarget, WM_KEYDOWN, VK_ESCAPE, 0);
    EXPECT_FALSE(IsWindow(App.MainWindow));
    EXPECT_EQ(messagesForAGoneList, 0);
    EXPECT_EQ(RunUntilQuit(), 0);
}

// The same when a tuning step fails inside Enter: its message is shown, the
// window goes, and the key stops there too.
TEST(ComboKeys, EnterWhoseTuningFailsDoesNotReachTheDestroyedList) {
    UseSimulatedTuner("latency 0\nfail SetPolarity 0x80004005\n");
    StartProgram();
    ChooseHotBird();
    listProc = App.SavedComboProc;
    App.SavedComboProc = WatchListProc;
    SendMessageA(App.ComboKeyTarget, WM_KEYDOWN, VK_RETURN, 0);
    EXPECT_FALSE(IsWindow(App.MainWindow));
    EXPECT_EQ(messagesForAGoneList, 0);
    const auto boxes = TakeMessageBoxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].Text, "Set polarity failed");
    EXPECT_EQ(RunUntilQuit(), 0);
}

TEST(ComboKeys, EnterStartsTheChosenSatellite) {
    Start();
    ChooseHotBird();
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
