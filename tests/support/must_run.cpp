#include "must_run.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <string_view>

namespace pulsaro::test {
namespace {

bool allMustRun() {
    const char* mustRun = std::getenv("PULSARO_TESTS_MUST_RUN");
    return mustRun && std::string_view(mustRun) == "1";
}

// Turns a skip into a failure once the test has ended, so the skip's own flow (no test body after
// a skipping SetUp) is kept. Appended after the printer, it hears of the test's end first (ends
// go to the listeners in reverse), so the printer reports the test as failed: no "[  SKIPPED ]"
// line is left for a test driver to take for a skip.
class SkipFails final : public ::testing::EmptyTestEventListener {
    void OnTestEnd(const ::testing::TestInfo& test) override {
        const ::testing::TestResult& result = *test.result();
        if (!result.Skipped()) return;
        std::string reasons;
        for (int i = 0; i < result.total_part_count(); ++i) {
            const ::testing::TestPartResult& part = result.GetTestPartResult(i);
            if (part.skipped()) reasons += std::string("\n") + part.message();
        }
        ADD_FAILURE() << "skipped, and here every test must run (PULSARO_TESTS_MUST_RUN=1):"
                      << reasons;
    }
};

}  // namespace

void failSkippedTestsWhereAllMustRun() {
    if (!allMustRun()) return;
    ::testing::UnitTest::GetInstance()->listeners().Append(new SkipFails);
}

}  // namespace pulsaro::test
