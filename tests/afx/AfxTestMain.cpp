// The framework's tests run on Qt's offscreen platform: no display needed.

#include <gtest/gtest.h>

#include <cstdlib>

#include "platform/afx/Afx.h"

int main(int argc, char** argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    testing::InitGoogleTest(&argc, argv);
    AfxInitPlatform(argc, argv);
    return RUN_ALL_TESTS();
}
