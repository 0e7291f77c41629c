// Creating the tuner control and tuning, through the real COM path to the
// registered simulated tuner; the call sequence is read from its log.
#include <gtest/gtest.h>

#include <cstring>

#include "app/actions.h"
#include "app/app_state.h"
#include "import_hook.h"
#include "message_box_watcher.h"
#include "sim_tuner_support.h"
#include "tuner/tuner_control.h"
#include "window_test_support.h"

namespace {

using Calls = std::vector<std::string>;

void ExpectOnlyBox(const char* text) {
    const auto boxes = TakeMessageBoxes();
    ASSERT_EQ(boxes.size(), 1u) << text;
    EXPECT_EQ(boxes[0].Text, text);
    EXPECT_EQ(boxes[0].Caption, "Error");
    EXPECT_EQ(boxes[0].Buttons, Calls{"OK"});
    EXPECT_EQ(boxes[0].Icon, nullptr);
    EXPECT_NE(boxes[0].Owner, nullptr);
}

void ExpectStartFailsWith(const std::string& script, const char* text) {
    UseSimulatedTuner(script);
    StartProgram();
    EXPECT_FALSE(IsWindow(App.MainWindow));
    EXPECT_EQ(RunUntilQuit(), 0);
    if (text) ExpectOnlyBox(text);
    else EXPECT_TRUE(TakeMessageBoxes().empty());
}

Calls TuneAndLog(int32_t frequency) {
    UseSimulatedTuner("latency 0\n");
    StartProgram();
    App.Transponder.Frequency = frequency;
    App.Transponder.Polarisation = 1;
    App.Transponder.SymbolRate = 27500;
    App.Transponder.Diseqc = 4;
    TuneTransponder();
    Calls calls = TuningCalls(TunerLog());
    // Start-up's own calls come first: the readiness check and the FEC.
    EXPECT_GE(calls.size(), 2u);
    EXPECT_EQ(calls[0], "InitializeControl");
    EXPECT_EQ(calls[1], "SetFec 6");
    return Calls(calls.begin() + 2, calls.end());
}

// The log ends with the program letting go of the card: the control
// interface first (when it was got), then the filter, which frees it.
void ExpectReleasedAtShutdown(bool controlHeld) {
    const auto log = TunerLog();
    ASSERT_GE(log.size(), 2u);
    const TunerCall& last = log[log.size() - 1];
    const TunerCall& before = log[log.size() - 2];
    EXPECT_EQ(last.Method + " " + last.Argument + " " + last.Result, "Release IBaseFilter 0x00000000");
    if (controlHeld) EXPECT_EQ(before.Method + " " + before.Argument, "Release ITunerControl");
    else EXPECT_NE(before.Argument, "ITunerControl");
}

}  // namespace

TEST(CreateTunerControl, SucceedsAgainstTheSimulatedTuner) {
    UseSimulatedTuner("latency 0\n");
    StartProgram();
    EXPECT_TRUE(IsWindow(App.MainWindow));
    EXPECT_NE(App.TunerFilter, nullptr);
    EXPECT_NE(App.TunerControl, nullptr);
    EXPECT_TRUE(TakeMessageBoxes().empty());
}

TEST(CreateTunerControl, EachFailureShowsItsMessageAndEndsTheProgram) {
    ExpectStartFailsWith("fail Create 0x80040154\n", "Cannot create filter graph manager");
}

// Only exactly 0 counts as success. Wine's CoCreateInstance folds a positive
// code from the class factory into S_OK, so the program's import is bent here
// to answer S_FALSE with a real filter, as a system that passes it on would.
using CreateFunction = HRESULT(WINAPI*)(REFCLSID, LPUNKNOWN, DWORD, REFIID, LPVOID*);
CreateFunction realCreate = nullptr;

HRESULT WINAPI CreateAnsweringFalse(REFCLSID classId, LPUNKNOWN outer, DWORD context, REFIID id,
                                    LPVOID* object) {
    const HRESULT result = realCreate(classId, outer, context, id, object);
    return result == S_OK ? S_FALSE : result;
}

TEST(CreateTunerControl, PositiveCreationResultCountsAsFailure) {
    realCreate = reinterpret_cast<CreateFunction>(ReplaceImport(
        "ole32.dll", "CoCreateInstance", reinterpret_cast<void*>(&CreateAnsweringFalse)));
    ASSERT_NE(realCreate, nullptr);
    ExpectStartFailsWith("latency 0\n", "Cannot create filter graph manager");
    // The filter it handed over was held and released at shutdown.
    ExpectReleasedAtShutdown(false);
    for (const TunerCall& call : TunerLog()) EXPECT_NE(call.Method, "InitializeControl");
}

// The same rule for the interface query, whose result reaches the program
// unchanged.
TEST(CreateTunerControl, PositiveQueryResultCountsAsFailure) {
    ExpectStartFailsWith("fail QueryInterface 0x1\n", nullptr);
    // What the query handed over was held and released at shutdown.
    ExpectReleasedAtShutdown(true);
}

TEST(CreateTunerControl, FailedInterfaceQueryIsSilent) {
    ExpectStartFailsWith("fail QueryInterface 0x80004002\n", nullptr);
}

TEST(CreateTunerControl, InitializeFailure) {
    ExpectStartFailsWith("fail InitializeControl 0x80004005\n",
                         "Cannot initialize tuner control interface");
}

TEST(CreateTunerControl, FecFailure) {
    ExpectStartFailsWith("fail SetFec 0x80004005\n", "Set fec failed");
}

TEST(TuneTransponder, BandSplitAt11700) {
    EXPECT_EQ(TuneAndLog(11699), (Calls{"SetLnbSelection 0", "SetLnbFrequency 9750",
                                        "SetPolarity 1", "SetSymbolRate 27500",
                                        "SetTransponderFrequency 11699", "SetDiseqc 4"}));
}

TEST(TuneTransponder, HighBandFrom11700) {
    EXPECT_EQ(TuneAndLog(11700), (Calls{"SetLnbSelection 1", "SetLnbFrequency 10600",
                                        "SetPolarity 1", "SetSymbolRate 27500",
                                        "SetTransponderFrequency 11700", "SetDiseqc 4"}));
}

TEST(TuneTransponder, CBandOscillatorBelow4201) {
    EXPECT_EQ(TuneAndLog(4200), (Calls{"SetLnbSelection 0", "SetLnbFrequency 9750",
                                       "SetLnbFrequency 5150", "SetPolarity 1",
                                       "SetSymbolRate 27500", "SetTransponderFrequency 4200",
                                       "SetDiseqc 4"}));
}

TEST(TuneTransponder, NoCBandOscillatorFrom4201) {
    EXPECT_EQ(TuneAndLog(4201), (Calls{"SetLnbSelection 0", "SetLnbFrequency 9750",
                                       "SetPolarity 1", "SetSymbolRate 27500",
                                       "SetTransponderFrequency 4201", "SetDiseqc 4"}));
}

// A failed step shows its text, ends the program and issues no further step.
void ExpectStepFailure(const char* method, const char* text, size_t callsIssued) {
    UseSimulatedTuner(std::string("latency 0\nfail ") + method + " 0x80004005\n");
    StartProgram();
    App.Transponder.Frequency = 12245;
    TuneTransponder();
    ExpectOnlyBox(text);
    EXPECT_FALSE(IsWindow(App.MainWindow));
    EXPECT_EQ(RunUntilQuit(), 0);
    const Calls calls = TuningCalls(TunerLog());
    ASSERT_GE(calls.size(), 2u);
    EXPECT_EQ(calls.size() - 2, callsIssued) << method;
    EXPECT_EQ(calls.back().substr(0, strlen(method)), method);
}

TEST(TuneTransponder, LnbSelectionFailure) {
    ExpectStepFailure("SetLnbSelection", "Set LNB selection failed", 1);
}
TEST(TuneTransponder, LnbFrequencyFailure) {
    ExpectStepFailure("SetLnbFrequency", "Set LNB frequency failed", 2);
}
TEST(TuneTransponder, PolarityFailure) {
    ExpectStepFailure("SetPolarity", "Set polarity failed", 3);
}
TEST(TuneTransponder, SymbolRateFailure) {
    ExpectStepFailure("SetSymbolRate", "Set symbol rate failed", 4);
}
TEST(TuneTransponder, FrequencyFailure) {
    ExpectStepFailure("SetTransponderFrequency", "Set transponder frequency failed", 5);
}
TEST(TuneTransponder, DiseqcFailure) {
    ExpectStepFailure("SetDiseqc", "Set DiSEqC failed", 6);
}

// A step that fails at a measurement's start ends the program: the workers
// that the start still launches end at once and never call the released card.
TEST(TuneTransponder, FailureAtAStartEndsTheProgramCleanly) {
    UseSimulatedTuner("latency 5\nat 0 lock 1 level 50\nfail SetPolarity 0x80004005\n");
    StartProgram();
    StartHotBird();
    ExpectOnlyBox("Set polarity failed");
    EXPECT_FALSE(IsWindow(App.MainWindow));
    EXPECT_EQ(RunUntilQuit(), 0);
    EXPECT_TRUE(PollUntil([] { return App.PollerRunning.load() == 0 && App.FeedbackRunning.load() == 0; }));
    const auto log = TunerLog();
    ASSERT_FALSE(log.empty());
    EXPECT_EQ(log.back().Method, "Release");
    for (const TunerCall& call : log) {
        EXPECT_NE(call.Method, "QueryLock");
        EXPECT_NE(call.Method, "SetSymbolRate");
    }
    EXPECT_FALSE(LogHasOverlap());
}

TEST(Shutdown, ReleasesTheControlInterfaceThenTheFilter) {
    UseSimulatedTuner("latency 0\n");
    StartProgram();
    DestroyWindow(App.MainWindow);
    EXPECT_EQ(RunUntilQuit(), 0);
    EXPECT_EQ(App.TunerControl, nullptr);
    EXPECT_EQ(App.TunerFilter, nullptr);
    ExpectReleasedAtShutdown(true);
}
