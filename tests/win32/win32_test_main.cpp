// Entry of every window-side test program: the program's own module carries the game's
// resources, so it stands in for the game's module.
#include <gtest/gtest.h>

#include <windows.h>

#include "app/instance.h"

int main(int argc, char** argv) {
    appInstance = GetModuleHandleA(nullptr);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
