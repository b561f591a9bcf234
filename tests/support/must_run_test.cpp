// A skip stays a skip, with its reason, in a partial run, and is a failure where every test must
// run (the full test run).

#include "process_support.h"

#include <gtest/gtest.h>

#include <string>

using namespace pulsaro::test;

namespace {

// The output with GoogleTest's skip marks defused: shown in a failure message, they would have
// ctest report this test as skipped.
std::string defused(std::string output) {
    for (std::size_t at; (at = output.find("SKIPPED")) != std::string::npos;) {
        output.replace(at, 7, "skipped");
    }
    return output;
}

// Never written out in full in an expression that a failure would print.
const std::string kSkipMark = std::string("[  SKIPPED") + " ]";

TEST(MustRun, ASkipFailsOnlyWhereEveryTestMustRun) {
    struct Case {
        const char* environment;
        int exitCode;
        const char* verdict;
        bool skipMarked;
    };
    const Case cases[] = {
        {"PULSARO_TESTS_MUST_RUN", 0, "[  SKIPPED ] Skipping.SaysWhy", true},
        {"PULSARO_TESTS_MUST_RUN=1", 1, "[  FAILED  ] Skipping.SaysWhy", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.environment);
        const Finished run = runToEnd(helperProgram("skipping_case"), {}, {c.environment});
        EXPECT_EQ(run.exitCode, c.exitCode) << defused(run.output);
        EXPECT_NE(run.output.find(c.verdict), std::string::npos) << defused(run.output);
        EXPECT_NE(run.output.find("the reason this test gives"), std::string::npos)
            << defused(run.output);
        EXPECT_EQ(run.output.find(kSkipMark) != std::string::npos, c.skipMarked)
            << defused(run.output);
    }
}

}  // namespace
