// The main of the test programs that need no toolkit: the core's tests and the Windows build's.

#include "must_run.h"

#include <gtest/gtest.h>

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    pulsaro::test::failSkippedTestsWhereAllMustRun();
    return RUN_ALL_TESTS();
}
