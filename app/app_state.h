// The one state record of the process, shared by the UI thread and the two
// measuring threads. Fields the workers touch are std::atomic of the field's
// width, read and written whole with plain loads and stores; no locks.
#pragma once
#include <windows.h>
#include <unknwn.h>
#include <atomic>
#include <cstdint>
#include "transponder/transponder.h"
#include "transponder/entry_line.h"
#include "measure/level_text.h"
#include "measure/signal_readings.h"
#include "app/modes.h"
#include "common/published_caption.h"
#include "identity/published_identity.h"

struct ITunerControl;
struct IZentrikSatelliteIdentity;
struct IZentrikSignalReadings;

// The two pauses between feedback cycles, in milliseconds.
constexpr int32_t kSlowCadence = 1200;
constexpr int32_t kFastCadence = 900;

constexpr int kKeypadKeyCount = 16;
constexpr int kDigitSoundCount = 20;
// The About box's list of addresses: a few lines of "http://a.b.c.d:port/".
constexpr size_t kPhoneAddressesSize = 256;

// Hit regions of the skin controls, in the order they are created.
enum ButtonRegion { CloseBox, MinimiseBox, LeftButton, MiddleButton, RightButton,
                    LanguageButton, SoundButton, HomeButton, kButtonRegionCount };

struct AppState {
    // Modes
    std::atomic<int16_t> RunMode{Setup};
    int16_t InputMode = ListMode;
    std::atomic<int16_t> SoundMode{Tone};
    int16_t SavedSoundMode = Tone;
    std::atomic<int16_t> VoiceLanguage{English};
    std::atomic<int32_t> Cadence{kSlowCadence};
    std::atomic<uint8_t> BigReadout{0};

    ::Transponder Transponder;

    // Live measurement
    std::atomic<int32_t> SignalLevel{0};
    LevelTextWord LevelText{PackLevelText("00%")};
    // The last lock check's answer, 1 locked, for readers outside the window.
    std::atomic<uint8_t> SignalLocked{0};
    // The card's strength and quality apart, in percent, while locked and
    // where the tuner gives them; kReadingUnknown otherwise.
    std::atomic<int32_t> SignalStrength{kReadingUnknown};
    std::atomic<int32_t> SignalQuality{kReadingUnknown};
    std::atomic<uint8_t> PollerRunning{0};
    std::atomic<uint8_t> FeedbackRunning{0};

    // Texts
    ::EntryLine EntryLine;
    char MeasureCaption[kCaptionLength] = {};
    // MeasureCaption as other threads may read it: published whole at the
    // start of each measurement.
    PublishedCaption SharedCaption;
    PublishedIdentity Identity;
    static constexpr char KeypadAlphabet[17] = "1234567890HVAB<C";

    // Pointer and hover state
    int16_t SweepX = 42;
    int16_t PointerX = 0;
    int16_t PointerY = 0;
    uint8_t HoverClose = 0, HoverMinimise = 0, HoverLanguage = 0, HoverSound = 0,
            HoverHome = 0, HoverLeft = 0, HoverMiddle = 0, HoverRight = 0;
    uint8_t HoverKey[kKeypadKeyCount] = {};

    // Platform objects
    HINSTANCE Instance = nullptr;
    HWND MainWindow = nullptr;
    HWND SatelliteCombo = nullptr;
    HWND ComboKeyTarget = nullptr;
    WNDPROC SavedComboProc = nullptr;
    HDC WindowDC = nullptr;
    HFONT EntryFont = nullptr, TextFont = nullptr, BigFont = nullptr, OriginalFont = nullptr;
    HPEN SearchPen = nullptr, OriginalPen = nullptr;
    HBRUSH ReadoutBrush = nullptr, BarBrush = nullptr, OriginalBrush = nullptr;
    HRGN WindowShape = nullptr;
    HRGN Buttons[kButtonRegionCount] = {};
    HRGN KeypadKey[kKeypadKeyCount] = {};
    // The SkinSheet: its bitmap description and pixel buffer.
    BITMAPINFO SkinSheetInfo = {};
    uint8_t* SkinSheetPixels = nullptr;
    RECT BarArea = {}, CaptionArea = {}, BarFill = {}, BigReadoutArea = {}, ReadoutBackdrop = {};
    // Where the identity line is drawn: the poller asks for it to be redrawn.
    RECT IdentityArea = {};
    const void* ToneSound = nullptr;
    const void* DigitSounds[kDigitSoundCount] = {};
    const uint8_t* DefaultEntry = nullptr;
    uint32_t DefaultEntrySize = 0;
    const uint8_t* DefaultList = nullptr;
    uint32_t DefaultListSize = 0;
    IUnknown* TunerFilter = nullptr;
    ITunerControl* TunerControl = nullptr;
    // The tuner filter's optional identity interface, when it has one, and
    // the font of the line that shows what it says (made when first needed).
    IZentrikSatelliteIdentity* TunerIdentity = nullptr;
    HFONT IdentityFont = nullptr;
    // The tuner filter's optional readings interface, held by the poller
    // for the length of a measurement.
    IZentrikSignalReadings* TunerReadings = nullptr;
    // The phone display (ZentrikPhone.dll), loaded only with /phone, and the
    // addresses the About box ends with while it serves.
    HMODULE PhoneModule = nullptr;
    char PhoneAddresses[kPhoneAddressesSize] = {};
    // A satellites.xml named by /list:PATH, whole; empty without the switch.
    wchar_t ListSwitchPath[MAX_PATH] = {};
    // Set while a dropped list's question is open: a second drop then is
    // passed over, so the first is answered first.
    uint8_t OfferingList = 0;
};

extern AppState App;
