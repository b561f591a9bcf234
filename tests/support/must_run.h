#pragma once

namespace pulsaro::test {

// Where everything a test needs is installed (the full test run sets PULSARO_TESTS_MUST_RUN=1), a
// test that skips fails instead, with the reason it gave; elsewhere it stays skipped and says why.
// Every test program's main calls it once, after GoogleTest has read its command line.
void failSkippedTestsWhereAllMustRun();

}  // namespace pulsaro::test
