// Test main for window tests: the application object of the program on the offscreen
// platform (unless a display is asked for), with the user's config, data and runtime
// folders pointed at a temporary place.

#include "Application.h"
#include "TempTree.h"

#include <cstdlib>
#include <gtest/gtest.h>

int main(int argc, char** argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    static vintrel::test::TempTree home;
    setenv("XDG_CONFIG_HOME", home.path("config").c_str(), 1);
    setenv("XDG_DATA_HOME", home.path("data").c_str(), 1);
    setenv("XDG_RUNTIME_DIR", home.root().c_str(), 1);
    setenv("LANG", "C.UTF-8", 1);
    vintrel::Application application(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
