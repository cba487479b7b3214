// main.cpp - the test programs' entry point; also the entry of a test
// program started again as a child process (child_process.h).
#include <gtest/gtest.h>

#include "child_process.h"

int main(int argc, char** argv) {
    int exitCode = 0;
    if (runChildRoutine(argc, argv, exitCode)) return exitCode;
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
