#include <gtest/gtest.h>

#include "message_box_watcher.h"
#include "sleep_recorder.h"
#include "sound_recorder.h"

int main(int argc, char** argv) {
    testing::InitGoogleTest(&argc, argv);
    // Every test sees the program's sleeps and sounds: waits are asserted as
    // the pauses asked for, and nobody waits through them.
    if (!InstallSleepRecorder() || !InstallSoundRecorder()) {
        fprintf(stderr, "the program's imports of Sleep and sndPlaySoundA were not found\n");
        return 2;
    }
    StartMessageBoxWatcher();
    const int result = RUN_ALL_TESTS();
    StopMessageBoxWatcher();
    return result;
}
