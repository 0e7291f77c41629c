#include <gtest/gtest.h>

#include "message_box_watcher.h"
#include "sim_tuner_support.h"
#include "sleep_recorder.h"
#include "sound_recorder.h"

namespace {

// A failed test also shows what the simulated tuner was told and answered.
class TunerLogOnFailure : public testing::EmptyTestEventListener {
    void OnTestEnd(const testing::TestInfo& test) override {
        if (test.result()->Failed()) printf("%s", TunerScriptAndLog().c_str());
    }
};

}  // namespace

int main(int argc, char** argv) {
    testing::InitGoogleTest(&argc, argv);
    // Every test sees the program's sleeps and sounds: waits are asserted as
    // the pauses asked for, and nobody waits through them.
    if (!InstallSleepRecorder() || !InstallSoundRecorder()) {
        fprintf(stderr, "the program's imports of Sleep and sndPlaySoundA were not found\n");
        return 2;
    }
    testing::UnitTest::GetInstance()->listeners().Append(new TunerLogOnFailure);
    StartMessageBoxWatcher();
    const int result = RUN_ALL_TESTS();
    StopMessageBoxWatcher();
    return result;
}
