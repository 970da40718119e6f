#include <gtest/gtest.h>

#include <cstdlib>

#include "platform/afx/Afx.h"

// The dialog loads its icon through the application object.
CWinApp g_testApp;

int main(int argc, char** argv) {
    ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
    ::testing::InitGoogleTest(&argc, argv);
    AfxInitPlatform(argc, argv);
    return RUN_ALL_TESTS();
}
