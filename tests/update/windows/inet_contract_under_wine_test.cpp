// The transfer component's tests (inet_contract_test.cpp) cross-built with the WinINet component
// and run under Wine one at a time, each against a fixture FTP server started here with the
// faults that inet_cases.h gives it.

#include "ftp_server.h"
#include "inet_cases.h"
#include "process_support.h"
#include "wine_prefix.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#ifndef PULSARO_WINDOWS_BUILD_DIR
#error "The build defines PULSARO_WINDOWS_BUILD_DIR as the Windows build tree"
#endif

namespace fs = std::filesystem;
using namespace pulsaro::test;

namespace {

// A test of the Windows program by its full GoogleTest name, and the server it runs against.
struct DrivenTest {
    std::string name;
    FtpFaults faults;
    bool nothingListening = false;
};

void PrintTo(const DrivenTest& test, std::ostream* out) {
    *out << test.name;
}

std::vector<DrivenTest> drivenTests() {
    std::vector<DrivenTest> tests;
    for (const InetFaultCase& c : inetFaultCases()) {
        tests.push_back(
            {std::string("Faults/InetFaultTest.EndsWithNoFileAndNoTemporaryFile/") + c.name,
             c.faults, c.nothingListening});
    }
    for (const ArrivingCase& c : arrivingCases()) {
        tests.push_back(
            {std::string("StatedSizes/InetArrivingTest.FileArrivesAsTheServerSentIt/") + c.name,
             c.faults});
    }
    for (const ServedInetTest& t : servedInetTests()) {
        tests.push_back({std::string("InetTest.") + t.test, t.faults});
    }
    return tests;
}

fs::path windowsTestProgram() {
    return fs::path(PULSARO_WINDOWS_BUILD_DIR) / "tests/update/windows_update_inet_test.exe";
}

// The full names "Suite.Test" a GoogleTest program lists.
std::set<std::string> listedTests(const std::string& listing) {
    std::set<std::string> names;
    std::istringstream lines(listing);
    std::string suite;
    for (std::string line; std::getline(lines, line);) {
        line.erase(std::remove(line.begin(), line.end(), '\r'), line.end());
        if (line.empty()) continue;
        if (line[0] != ' ') {
            suite = line;
            continue;
        }
        const std::size_t start = line.find_first_not_of(' ');
        names.insert(suite + line.substr(start, line.find(' ', start) - start));
    }
    return names;
}

using WindowsInetProgram = WinePrefixTest;

// A test of the Windows program that nothing here runs would never run at all.
TEST_F(WindowsInetProgram, EveryTestItHoldsIsDrivenFromHere) {
    const ProgramRun listing = wine({windowsTestProgram().string(), "--gtest_list_tests"});
    ASSERT_EQ(listing.exitCode, 0) << listing.output;
    std::set<std::string> driven;
    for (const DrivenTest& test : drivenTests()) driven.insert(test.name);
    EXPECT_EQ(listedTests(listing.output), driven) << listing.output;
}

class WindowsInet : public WinePrefixTest, public ::testing::WithParamInterface<DrivenTest> {};

TEST_P(WindowsInet, PassesUnderWine) {
    const DrivenTest& test = GetParam();
    FtpServer server(test.faults);
    ClosedPort closedPort;
    const std::string url = test.nothingListening ? closedPort.url() : server.url();

    const ProgramRun run =
        wine({windowsTestProgram().string(), "--gtest_filter=" + test.name, "--gtest_color=no"},
             {"PULSARO_TEST_FTP_URL=" + url, "PULSARO_TEST_FTP_ROOT=" + windowsPath(server.root()),
              "PULSARO_TEST_FTP_CONNECTIONS=" + windowsPath(server.connectionsFile()),
              "PULSARO_TEST_FTP_SERVER=" + serverDescription(test.faults, !test.nothingListening)},
             std::chrono::seconds(120));

    EXPECT_EQ(run.exitCode, 0) << run.output;
    EXPECT_NE(run.output.find("[  PASSED  ] 1 test."), std::string::npos) << run.output;
}

INSTANTIATE_TEST_SUITE_P(Windows, WindowsInet, ::testing::ValuesIn(drivenTests()),
                         [](const ::testing::TestParamInfo<DrivenTest>& param) {
                             std::string name = param.param.name;
                             std::replace_if(
                                 name.begin(), name.end(),
                                 [](char c) { return c == '/' || c == '.'; }, '_');
                             return name;
                         });

}  // namespace
