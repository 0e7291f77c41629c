// The satellite list file and the drop-down list, on the real window.
#include <gtest/gtest.h>

#include "app/actions.h"
#include "app/app_state.h"
#include "app/resources.h"
#include "message_box_watcher.h"
#include "sim_tuner_support.h"
#include "window_test_support.h"

namespace {

std::string ComboItem(int index) {
    char text[512] = {};
    SendMessageA(App.SatelliteCombo, CB_GETLBTEXT, index, reinterpret_cast<LPARAM>(text));
    return text;
}

int ComboCount() { return static_cast<int>(SendMessageA(App.SatelliteCombo, CB_GETCOUNT, 0, 0)); }

void ExpectAttention(const char* text, const char* caption, bool exclamation) {
    const auto boxes = TakeMessageBoxes();
    ASSERT_EQ(boxes.size(), 1u) << text;
    EXPECT_EQ(boxes[0].Text, text);
    EXPECT_EQ(boxes[0].Caption, caption);
    EXPECT_EQ(boxes[0].Owner, App.MainWindow);
    EXPECT_EQ(boxes[0].Buttons, std::vector<std::string>{"OK"});
    if (exclamation) EXPECT_EQ(boxes[0].Icon, StandardIcon(IDI_EXCLAMATION));
    else EXPECT_EQ(boxes[0].Icon, nullptr);
}

StartResult StartEntry(int index) {
    SendMessageA(App.SatelliteCombo, CB_SETCURSEL, index, 0);
    return StartAction();
}

}  // namespace

TEST(SatelliteFile, FirstRunWritesTheDefaultAndListsItsHundredEntries) {
    UseSimulatedTuner("latency 0\n");
    const std::string folder = NewTestFolder();
    StartProgramIn(folder);
    uint32_t size = 0;
    const uint8_t* embedded = LockProgramResource("SATDATA", &size);
    ASSERT_EQ(size, 3516u);
    EXPECT_EQ(ReadWholeFile(folder + "\\satellite.ini"),
              std::string(reinterpret_cast<const char*>(embedded), size));
    ASSERT_EQ(ComboCount(), 100);
    EXPECT_EQ(ComboItem(0), "AMC1   103.0w" + std::string(64 - 13, ' '));
    EXPECT_EQ(ComboItem(53), "HotBird1-6   13.0e" + std::string(64 - 18, ' '));
    EXPECT_EQ(ComboItem(99), "Yamal 102/201 90.0e" + std::string(64 - 19, ' '));
    EXPECT_EQ(SendMessageA(App.SatelliteCombo, CB_GETCURSEL, 0, 0), CB_ERR);
    EXPECT_EQ(GetDlgCtrlID(App.SatelliteCombo), 0x71);
    // Wine keeps the scroll bars off the combo's own style, so only the rest is compared.
    const DWORD style = static_cast<DWORD>(GetWindowLongA(App.SatelliteCombo, GWL_STYLE));
    EXPECT_EQ(style & (WS_CHILD | WS_VISIBLE | 0xFFFF), static_cast<DWORD>(WS_CHILD | WS_VISIBLE | CBS_DROPDOWNLIST));
    EXPECT_EQ(SendMessageA(App.SatelliteCombo, CB_GETHORIZONTALEXTENT, 0, 0), 600);
}

TEST(SatelliteFile, AnyMatchingFileKeepsTheDefaultFromBeingWritten) {
    UseSimulatedTuner("latency 0\n");
    const std::string folder = NewTestFolder();
    WriteTestFile(folder + "\\old_satellite.ini", "[Old   1.0w]=11000h27500;\r\n");
    StartProgramIn(folder);
    EXPECT_EQ(GetFileAttributesA((folder + "\\satellite.ini").c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(ComboCount(), 0);
    EXPECT_EQ(StartAction(), RejectedReported);
    ExpectAttention("Please shoose the satellite!", "Attention!", false);
    EXPECT_EQ(App.RunMode.load(), ::Setup);
}

TEST(SatelliteFile, ChosenEntryTunesWithTheDiseqcCodeLeftAsItWas) {
    UseSimulatedTuner("latency 1\nat 0 lock 1 level 40\n");
    StartProgram();
    App.Transponder.Diseqc = 3;  // as a typed line would have left it
    EXPECT_EQ(StartEntry(53), Accepted);
    EXPECT_EQ(App.RunMode.load(), Measuring);
    EXPECT_FALSE(IsWindowVisible(App.SatelliteCombo));
    EXPECT_EQ(App.Transponder.Frequency, 10723);
    EXPECT_EQ(App.Transponder.Polarisation, 0);
    EXPECT_EQ(App.Transponder.SymbolRate, 29900);
    EXPECT_EQ(std::string(App.MeasureCaption, 32), "HotBird1-6   13.0e" + std::string(14, ' '));
    StopMeasurement();
    const std::vector<std::string> calls = TuningCalls(TunerLog());
    const std::vector<std::string> expected = {"SetLnbSelection 0", "SetLnbFrequency 9750",
                                               "SetPolarity 0", "SetSymbolRate 29900",
                                               "SetTransponderFrequency 10723", "SetDiseqc 3"};
    ASSERT_GE(calls.size(), expected.size());
    EXPECT_EQ(std::vector<std::string>(calls.end() - expected.size(), calls.end()), expected);
    EXPECT_TRUE(TakeMessageBoxes().empty());
    EXPECT_FALSE(LogHasOverlap());
}

TEST(SatelliteFile, OutOfRangeValuesAreRefusedWithTheirMessages) {
    UseSimulatedTuner("latency 0\n");
    const std::string folder = NewTestFolder();
    WriteTestFile(folder + "\\satellite.ini",
              "[Low   1.0w]=3399h27500;\r\n[Rate   2.0w]=12000h999;\r\n[Cut]=1234");
    StartProgramIn(folder);
    ASSERT_EQ(ComboCount(), 3);
    EXPECT_EQ(StartEntry(0), RejectedReported);
    ExpectAttention("Invalid parameter of transponder frequency in satellite.ini", " Attention! ",
                    true);
    EXPECT_EQ(StartEntry(1), RejectedReported);
    ExpectAttention("Invalid parameter of symbol rate in satellite.ini", "Attention!", true);
    // An entry cut short by the end of the file has no valid frequency.
    EXPECT_EQ(StartEntry(2), RejectedReported);
    ExpectAttention("Invalid parameter of transponder frequency in satellite.ini", " Attention! ",
                    true);
    EXPECT_EQ(App.RunMode.load(), ::Setup);
    EXPECT_TRUE(IsWindowVisible(App.SatelliteCombo));
    // The list file is the user's: refusing its entries never rewrites it.
    EXPECT_EQ(ReadWholeFile(folder + "\\satellite.ini"),
              "[Low   1.0w]=3399h27500;\r\n[Rate   2.0w]=12000h999;\r\n[Cut]=1234");
}

TEST(SatelliteFile, FileDeletedWhileRunningIsReportedAtStart) {
    UseSimulatedTuner("latency 0\n");
    const std::string folder = NewTestFolder();
    StartProgramIn(folder);
    ASSERT_EQ(ComboCount(), 100);
    ASSERT_TRUE(DeleteFileA((folder + "\\satellite.ini").c_str()));
    EXPECT_EQ(StartEntry(53), RejectedReported);
    ExpectAttention("satellite.ini - not found !", "Attention!", false);
    EXPECT_EQ(ComboCount(), 100);
}

// A folder where no file can be created (under Wine, the process file system
// refuses new files even to root): the program says so and ends cleanly.
TEST(SatelliteFile, UnwritableFolderEndsTheProgramWithItsMessage) {
    UseSimulatedTuner("latency 0\n");
    StartProgramIn("Z:\\proc");
    const auto boxes = TakeMessageBoxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].Text, "Cannot create file satellite.ini");
    EXPECT_EQ(boxes[0].Caption, "Error!");
    EXPECT_NE(boxes[0].Owner, nullptr);
    EXPECT_EQ(boxes[0].Buttons, std::vector<std::string>{"OK"});
    EXPECT_FALSE(IsWindow(App.MainWindow));
    // Start-up stopped there: no list, no tuner was opened.
    EXPECT_EQ(App.SatelliteCombo, nullptr);
    EXPECT_EQ(App.TunerFilter, nullptr);
    EXPECT_EQ(RunUntilQuit(), 0);
}
