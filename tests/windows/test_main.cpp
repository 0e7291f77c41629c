#include <gtest/gtest.h>

#include "message_box_watcher.h"

int main(int argc, char** argv) {
    testing::InitGoogleTest(&argc, argv);
    StartMessageBoxWatcher();
    const int result = RUN_ALL_TESTS();
    StopMessageBoxWatcher();
    return result;
}
