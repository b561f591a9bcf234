// Runs GoogleTest inside a QApplication, headless unless a display is asked for explicitly, in an
// environment of the test's own.

#include "hermetic.h"
#include "must_run.h"

#include <QApplication>

#include <gtest/gtest.h>

#include <cstdlib>

int main(int argc, char** argv) {
    pulsaro::test::enterHermeticEnvironment();
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    pulsaro::test::failSkippedTestsWhereAllMustRun();
    return RUN_ALL_TESTS();
}
