// The main of every test program: tests never need a display or a sound device, whether
// ctest or a developer starts them.
#include <gtest/gtest.h>

#include <cstdlib>

int main(int argc, char** argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    setenv("SDL_AUDIODRIVER", "dummy", 0);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
