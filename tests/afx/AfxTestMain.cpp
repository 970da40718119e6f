// The framework's tests run on Qt's offscreen platform: no display needed.

#include <gtest/gtest.h>

#include <cstdlib>

#include "platform/afx/Afx.h"

// fontconfig keeps a cache for the life of the process and never frees it; under the
// address sanitizer that would read as a leak of ours.
extern "C" const char* __lsan_default_suppressions() {
    return "leak:libfontconfig.so\n";
}

int main(int argc, char** argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    testing::InitGoogleTest(&argc, argv);
    AfxInitPlatform(argc, argv);
    return RUN_ALL_TESTS();
}
