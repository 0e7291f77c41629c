// A satellites.xml dropped on the real window: the question, the list renewed
// with the old one kept and the drop-down filled again at once; No, a bad
// file, two files and a drop while measuring change nothing.
#include <windows.h>
#include <shellapi.h>
#include <shlobj.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "app/app_state.h"
#include "app/resources.h"
#include "message_box_watcher.h"
#include "sim_tuner_support.h"
#include "window_test_support.h"

namespace {

// Whole paths, taken while the working folder is still the build's: the
// program's start moves it to the test's folder.
std::string FullPath(const char* path) {
    char full[MAX_PATH];
    const DWORD length = GetFullPathNameA(path, MAX_PATH, full, nullptr);
    return std::string(full, length < MAX_PATH ? length : 0);
}

// The table the current list is made from, named by its date, and that list.
const std::string kTable = FullPath(ZENTRIK_SATLIST_TABLE);
const std::string kTableName = kTable.substr(kTable.find_last_of('\\') + 1);
const std::string kDate = kTableName.substr(11, 10);
const std::string kMadeList = FullPath(ZENTRIK_SOURCE_DIR "/satlist/satellite.ini");

// The drop the shell hands a window: a DROPFILES record and the wide file
// names after it, each ended, the list ended by one more terminator.
void Drop(const std::vector<std::string>& paths) {
    std::wstring names;
    for (const std::string& path : paths) names += std::wstring(path.begin(), path.end()) + L'\0';
    names += L'\0';
    HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, sizeof(DROPFILES) + names.size() * sizeof(wchar_t));
    auto* files = static_cast<DROPFILES*>(GlobalLock(memory));
    files->pFiles = sizeof(DROPFILES);
    files->fWide = TRUE;
    memcpy(files + 1, names.data(), names.size() * sizeof(wchar_t));
    GlobalUnlock(memory);
    SendMessageW(App.MainWindow, WM_DROPFILES, reinterpret_cast<WPARAM>(memory), 0);
}

std::string Today() {
    SYSTEMTIME now{};
    GetLocalTime(&now);
    char text[16];
    wsprintfA(text, "%04u-%02u-%02u", now.wYear, now.wMonth, now.wDay);
    return text;
}

// The files of the folder, by name.
std::vector<std::string> FolderFiles(const std::string& folder) {
    std::vector<std::string> names;
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((folder + "\\*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return names;
    do {
        if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) names.push_back(found.cFileName);
    } while (FindNextFileA(search, &found));
    FindClose(search);
    std::sort(names.begin(), names.end());
    return names;
}

int ComboCount() { return static_cast<int>(SendMessageA(App.SatelliteCombo, CB_GETCOUNT, 0, 0)); }

std::string ComboItem(int index) {
    char text[512] = {};
    SendMessageA(App.SatelliteCombo, CB_GETLBTEXT, index, reinterpret_cast<LPARAM>(text));
    return text;
}

std::string DefaultList() {
    uint32_t size = 0;
    const uint8_t* bytes = LockProgramResource("SATDATA", &size);
    return std::string(reinterpret_cast<const char*>(bytes), size);
}

// The one box shown, which must be the Attention! box saying this.
void ExpectAttention(const std::string& says) {
    const auto boxes = TakeMessageBoxes();
    ASSERT_EQ(boxes.size(), 1u) << says;
    EXPECT_EQ(boxes[0].Caption, "Attention!");
    EXPECT_EQ(boxes[0].Owner, App.MainWindow);
    EXPECT_NE(boxes[0].Text.find(says), std::string::npos) << boxes[0].Text;
    EXPECT_EQ(boxes[0].Icon, StandardIcon(IDI_EXCLAMATION));
}

// The question answered Yes, then the Attention! box saying exactly this.
void ExpectAskedThenRefused(const std::string& says) {
    const auto boxes = TakeMessageBoxes();
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_EQ(boxes[0].Caption, "Satellite list");
    EXPECT_EQ(boxes[1].Caption, "Attention!");
    EXPECT_EQ(boxes[1].Text, says);
}

}  // namespace

TEST(ListRenewal, ADroppedTableRenewsTheListAndKeepsTheOldOne) {
    UseSimulatedTuner("latency 0\n");
    const std::string folder = NewTestFolder();
    StartProgramIn(folder);
    ASSERT_EQ(ComboCount(), 100);
    EXPECT_EQ(GetModuleHandleA("ZentrikList.dll"), nullptr) << "nothing is loaded without a drop";
    const std::string day = Today();
    Drop({kTable});
    const auto boxes = TakeMessageBoxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].Caption, "Satellite list");
    EXPECT_EQ(boxes[0].Owner, App.MainWindow);
    EXPECT_EQ(boxes[0].Icon, StandardIcon(IDI_QUESTION));
    EXPECT_EQ(boxes[0].Buttons.size(), 2u);
    const std::string made = ReadWholeFile(kMadeList) + "Made by Zentrik from a satellites.xml of " + kDate + ".\r\n";
    const int entries = static_cast<int>(std::count(made.begin(), made.end(), ';'));
    EXPECT_EQ(boxes[0].Text, "Make the satellite list from " + kTableName + "?\n\nIts data was made on " + kDate +
                                 ".\nThe new list holds " + std::to_string(entries) + " entries.\n\n" +
                                 "Your present list stays beside it as satellite-" + day + ".ini.");
    EXPECT_EQ(ReadWholeFile(folder + "\\satellite.ini"), made);
    EXPECT_EQ(ReadWholeFile(folder + "\\satellite-" + day + ".ini"), DefaultList());
    ASSERT_EQ(ComboCount(), entries) << "the drop-down shows the new entries at once";
    std::string first = made.substr(1, made.find(']') - 1);
    first.resize(64, ' ');
    EXPECT_EQ(ComboItem(0), first);
    EXPECT_EQ(SendMessageA(App.SatelliteCombo, CB_GETCURSEL, 0, 0), CB_ERR);
    EXPECT_EQ(GetModuleHandleA("ZentrikList.dll"), nullptr) << "and let go of after it";

    Drop({kTable});  // again: the copy already there is never overwritten
    EXPECT_EQ(TakeMessageBoxes().size(), 1u);
    EXPECT_EQ(ReadWholeFile(folder + "\\satellite-" + day + ".ini"), DefaultList());
    EXPECT_EQ(ReadWholeFile(folder + "\\satellite-" + day + "-2.ini"), made);
    EXPECT_EQ(FolderFiles(folder).size(), 3u) << "no file of the writing is left behind";
}

TEST(ListRenewal, NoABadFileOrTwoFilesChangeNothing) {
    UseSimulatedTuner("latency 0\n");
    const std::string folder = NewTestFolder();
    StartProgramIn(folder);
    WriteTestFile(folder + "\\broken.xml", "<satellites>\n<sat name=\"13.0E Hotbird\" position=\"130\">");
    AnswerMessageBoxesWith("&No");
    Drop({kTable});
    AnswerMessageBoxesWith("");
    const auto asked = TakeMessageBoxes();
    ASSERT_EQ(asked.size(), 1u);
    EXPECT_EQ(asked[0].Caption, "Satellite list");
    Drop({folder + "\\broken.xml"});
    ExpectAttention("broken.xml cannot make a satellite list:\nline 2, column 42: the file is cut short: <sat> is not "
                    "closed\n\nYour satellite list is unchanged.");
    Drop({folder + "\\missing.xml"});
    ExpectAttention("missing.xml cannot make a satellite list:\nit cannot be opened: ");
    Drop({kTable, kTable});
    ExpectAttention("Drop one satellites.xml at a time.");
    EXPECT_EQ(ReadWholeFile(folder + "\\satellite.ini"), DefaultList());
    EXPECT_EQ(FolderFiles(folder), (std::vector<std::string>{"broken.xml", "satellite.ini"}));
    EXPECT_EQ(ComboCount(), 100);
}

// A list the user made read-only cannot be replaced: the refusal says why and
// leaves the folder as it was, with no copy of the list behind (the copy
// takes the list's read-only attribute along).
TEST(ListRenewal, AReadOnlyListIsToldAndNothingIsLeftBehind) {
    UseSimulatedTuner("latency 0\n");
    const std::string folder = NewTestFolder();
    StartProgramIn(folder);
    const std::string list = folder + "\\satellite.ini";
    ASSERT_TRUE(SetFileAttributesA(list.c_str(), FILE_ATTRIBUTE_READONLY));
    Drop({kTable});
    ExpectAskedThenRefused("The new satellite list was not written: satellite.ini is read-only: untick Read-only in "
                           "its Properties to let it be replaced.\n\nYour satellite list is unchanged.");
    EXPECT_EQ(ReadWholeFile(list), DefaultList());
    EXPECT_EQ(FolderFiles(folder), std::vector<std::string>{"satellite.ini"}) << "no copy is left behind";
    EXPECT_EQ(GetFileAttributesA(list.c_str()) & FILE_ATTRIBUTE_READONLY, DWORD(FILE_ATTRIBUTE_READONLY));
    EXPECT_EQ(ComboCount(), 100);
    SetFileAttributesA(list.c_str(), FILE_ATTRIBUTE_NORMAL);
}

// With every dated name of the day taken, the present list cannot be kept:
// nothing is written, and the earlier copies, the last one (read-only) among
// them, stay as they were.
TEST(ListRenewal, WhenTodaysCopyNamesAreTakenTheEarlierCopiesStay) {
    UseSimulatedTuner("latency 0\n");
    const std::string folder = NewTestFolder();
    StartProgramIn(folder);
    const std::string day = Today();
    for (int number = 1; number <= 999; ++number) {
        const std::string name = "satellite-" + day + (number > 1 ? "-" + std::to_string(number) : "") + ".ini";
        WriteTestFile(folder + "\\" + name, "copy " + std::to_string(number) + "\r\n");
    }
    const std::string last = folder + "\\satellite-" + day + "-999.ini";
    ASSERT_TRUE(SetFileAttributesA(last.c_str(), FILE_ATTRIBUTE_READONLY));
    Drop({kTable});
    ExpectAskedThenRefused("The new satellite list was not written: the present list cannot be kept: today's 999 "
                           "names are taken\n\nYour satellite list is unchanged.");
    EXPECT_EQ(ReadWholeFile(folder + "\\satellite.ini"), DefaultList());
    EXPECT_EQ(FolderFiles(folder).size(), 1000u) << "every earlier copy is still there";
    EXPECT_EQ(ReadWholeFile(last), "copy 999\r\n");
    EXPECT_EQ(GetFileAttributesA(last.c_str()) & FILE_ATTRIBUTE_READONLY, DWORD(FILE_ATTRIBUTE_READONLY));
    EXPECT_EQ(ReadWholeFile(folder + "\\satellite-" + day + ".ini"), "copy 1\r\n");
    EXPECT_EQ(ComboCount(), 100);
    SetFileAttributesA(last.c_str(), FILE_ATTRIBUTE_NORMAL);
}

TEST(ListRenewal, WhileMeasuringADropIsRefused) {
    UseSimulatedTuner("latency 1\nat 0 lock 1 level 40\n");
    const std::string folder = NewTestFolder();
    StartProgramIn(folder);
    ASSERT_EQ(StartHotBird(), Accepted);
    Drop({kTable});
    ExpectAttention("A satellite list cannot be made while measuring.\nPress <BACK, then drop the file again.");
    EXPECT_EQ(GetModuleHandleA("ZentrikList.dll"), nullptr);
    EXPECT_EQ(App.RunMode.load(), Measuring);
    StopMeasurement();
    EXPECT_EQ(ReadWholeFile(folder + "\\satellite.ini"), DefaultList());
    EXPECT_EQ(FolderFiles(folder), std::vector<std::string>{"satellite.ini"});
}
