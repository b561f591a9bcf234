// A test program with one test that skips, for the test of what a skip becomes where every test
// must run (must_run_test.cpp).

#include <gtest/gtest.h>

namespace {

TEST(Skipping, SaysWhy) {
    GTEST_SKIP() << "the reason this test gives";
}

}  // namespace
