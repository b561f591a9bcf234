// The transfer component, whichever the host has (inet_host.h), against real FTP servers on
// loopback: what it fetches, what it refuses, and what each fault leaves in the folder. Built and
// run on Linux, and cross-built and run under Wine one test at a time (see inet_cases.h).

#include "host.h"
#include "inet_cases.h"
#include "inet_host.h"
#include "temp_drive.h"
#include "texts.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <iostream>
#include <optional>
#include <stdexcept>
#include <string>
#include <utility>
#include <variant>
#include <vector>

namespace fs = std::filesystem;
using namespace std::chrono_literals;

namespace pulsaro::test {
namespace {

const std::string kRemote(texts::kRemoteFile);
constexpr const char* kLocal = R"(c:\pulsaro_zentra\_pulsaro\pulsaronew_zentra.exe)";

std::string getCommand(const std::string& local = kLocal) {
    return "get  " + kRemote + " " + local;
}

// Handles events until the request has ended; false if it still runs after the limit. Every
// request here ends by itself within seconds (the slowest case, a slow transfer, in about ten; a
// case that waits for its time-out a few seconds after it), and the wait ends with it; the limit
// only stops a request that would never end, so it leaves a loaded machine plenty of room.
bool waitForEnd(const Inet& inet, std::chrono::milliseconds limit = 90s) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (inet.StillExecuting() && std::chrono::steady_clock::now() < deadline) {
        DoEventsWaiting(50ms);
    }
    return !inet.StillExecuting();
}

// Whether the server sees every connection closed, as it counts them. A connection closed by the
// component reaches that count only once the server's loop has run, which a loaded machine may
// delay; the wait ends as soon as the count is zero, so its bound is generous.
bool serverSeesNoConnection(const InetTestServer& server) {
    const auto deadline = std::chrono::steady_clock::now() + 20s;
    while (server.openConnections() != 0) {
        if (std::chrono::steady_clock::now() >= deadline) return false;
        DoEventsWaiting(20ms);
    }
    return true;
}

const FtpFaults& servedFaults(const std::string& test) {
    for (const ServedInetTest& served : servedInetTests()) {
        if (served.test == test) return served.faults;
    }
    throw std::logic_error(test + " is missing from servedInetTests()");
}

class InetTest : public ::testing::Test {
  protected:
    InetTest() {
        fs::create_directories(staging());
        inet.setUserName(texts::kUserName);
        inet.setPassword(texts::kPassword);
    }
    // The server servedInetTests() names for this test.
    void SetUp() override {
        server.emplace(
            servedFaults(::testing::UnitTest::GetInstance()->current_test_info()->name()));
    }
    // The staging folder as the setup spells it; the updater writes it in lower case.
    fs::path staging() const { return drive.onDrive("pulsaro_zentra/_Pulsaro"); }
    fs::path target() const { return staging() / "pulsaronew_zentra.exe"; }

    // Runs one request to its end.
    void fetch(const std::string& url, const std::string& command = getCommand()) {
        const OpResult started = inet.Execute(url, command);
        ASSERT_TRUE(started.ok()) << started.reason();
        EXPECT_TRUE(inet.StillExecuting());
        ASSERT_TRUE(waitForEnd(inet));
    }

    TempDrive drive;
    HostInet inet;
    std::optional<InetTestServer> server;
};

TEST_F(InetTest, FilesArriveByteIdentical) {
    for (const std::size_t size :
         {std::size_t{0}, std::size_t{1}, std::size_t{(3 << 20) + 7}, std::size_t{24 << 20}}) {
        SCOPED_TRACE(size);
        const std::string bytes = patternBytes(size, static_cast<unsigned>(size));
        server->putFile(kRemote, bytes);

        fetch(server->url());

        EXPECT_TRUE(inet.Outcome().ok()) << inet.Outcome().reason();
        EXPECT_EQ(listFolder(staging()), std::vector<std::string>{"pulsaronew_zentra.exe"});
        EXPECT_TRUE(readFile(target()) == bytes);
        EXPECT_TRUE(serverSeesNoConnection(*server)) << "a connection was left open";
        fs::remove(target());
    }
}

// A real server's login lands in the account's home folder; the remote path is taken from the
// server's root all the same.
TEST_F(InetTest, RemotePathIsAbsoluteOnTheServer) {
    server->putFile(kRemote, "from the root");
    server->putFile("/home" + kRemote, "from the home folder");

    fetch(server->url());

    EXPECT_TRUE(inet.Outcome().ok()) << inet.Outcome().reason();
    EXPECT_EQ(readFile(target()), "from the root");
}

TEST_F(InetTest, SuccessReplacesAnOlderLongerFile) {
    server->putFile(kRemote, "new");
    writeFile(target(), patternBytes(100000, 9));

    fetch(server->url());

    EXPECT_TRUE(inet.Outcome().ok()) << inet.Outcome().reason();
    EXPECT_EQ(readFile(target()), "new");
    EXPECT_EQ(listFolder(staging()), std::vector<std::string>{"pulsaronew_zentra.exe"});
}

// The product's URL is written "FTP://", and the updater names the staging folder "_pulsaro"
// where the setup made "_Pulsaro"; the command's verb and spacing vary too.
TEST_F(InetTest, SchemeVerbAndLocalPathAreReadIgnoringCase) {
    server->putFile(kRemote, "payload");
    const std::string url = "FTP" + server->url().substr(server->url().find(':'));

    fetch(url, "  GeT   " + kRemote + R"(   C:\PULSARO_ZENTRA\_PULSARO\pulsaronew_zentra.exe )");

    EXPECT_TRUE(inet.Outcome().ok()) << inet.Outcome().reason();
    EXPECT_EQ(listFolder(drive.onDrive("pulsaro_zentra")), std::vector<std::string>{"_Pulsaro"});
    EXPECT_EQ(readFile(target()), "payload");
}

TEST_F(InetTest, EmptyUrlArgumentUsesTheUrlProperty) {
    server->putFile(kRemote, "payload");
    inet.setURL(server->url());

    fetch("");

    EXPECT_TRUE(inet.Outcome().ok()) << inet.Outcome().reason();
    EXPECT_EQ(readFile(target()), "payload");
}

TEST_F(InetTest, FailedRequestLeavesAnExistingFileAsItWas) {
    server->putFile(kRemote, patternBytes(3 << 20, 5));
    writeFile(target(), "previous");

    fetch(server->url());

    EXPECT_FALSE(inet.Outcome().ok());
    EXPECT_EQ(readFile(target()), "previous");
    EXPECT_EQ(listFolder(staging()), std::vector<std::string>{"pulsaronew_zentra.exe"});
}

// Twice as long as the request time-out and ten times its floor (1 KiB a second): neither a
// request's length nor a slow pace cuts a transfer above the floor. The time-out is generous
// for a test, so that no pause of a loaded machine (the server's or this program's) passes for
// silence or for a trickle.
TEST_F(InetTest, SlowButMovingTransferIsNotCut) {
    const std::string bytes = patternBytes(100000, 6);  // ten seconds at the server's pace
    server->putFile(kRemote, bytes);
    inet.setRequestTimeout(5s);

    fetch(server->url());

    EXPECT_TRUE(inet.Outcome().ok()) << inet.Outcome().reason();
    EXPECT_TRUE(readFile(target()) == bytes);
}

TEST_F(InetTest, CancelEndsTheRequestAndLeavesNoFile) {
    server->putFile(kRemote, patternBytes(4 << 20, 7));

    ASSERT_TRUE(inet.Execute(server->url(), getCommand()).ok());
    const auto deadline = std::chrono::steady_clock::now() + 10s;
    while (bytesBeingWrittenIn(staging()) == 0 && std::chrono::steady_clock::now() < deadline) {
        DoEventsWaiting(20ms);
    }
    ASSERT_GT(bytesBeingWrittenIn(staging()), 0u) << "no byte arrived before the cancel";
    ASSERT_TRUE(inet.StillExecuting());
    inet.Cancel();

    EXPECT_FALSE(inet.StillExecuting());
    EXPECT_EQ(inet.Outcome().code(), ErrorCode::rule(FailedRule::Cancelled));
    EXPECT_EQ(listFolder(staging()), std::vector<std::string>{});
    EXPECT_TRUE(serverSeesNoConnection(*server)) << "a connection was left open";
    // Whatever was still on its way is thrown away, not written.
    for (int i = 0; i < 10; ++i) DoEventsWaiting(20ms);
    EXPECT_EQ(listFolder(staging()), std::vector<std::string>{});

    inet.Cancel();  // idle: nothing to end
    EXPECT_FALSE(inet.StillExecuting());
}

TEST_F(InetTest, ExecuteWhileExecutingIsRefusedAndTheRunningRequestGoesOn) {
    server->putFile(kRemote, "first");
    server->putFile("/other.bin", "second");

    ASSERT_TRUE(inet.Execute(server->url(), getCommand()).ok());
    EXPECT_EQ(inet.Execute(server->url(), R"(get /other.bin c:\pulsaro_zentra\_pulsaro\o)").code(),
              ErrorCode::rule(FailedRule::Busy));
    EXPECT_TRUE(inet.StillExecuting());
    ASSERT_TRUE(waitForEnd(inet));

    EXPECT_TRUE(inet.Outcome().ok()) << inet.Outcome().reason();
    EXPECT_EQ(readFile(target()), "first");
    EXPECT_EQ(listFolder(staging()), std::vector<std::string>{"pulsaronew_zentra.exe"});
}

// Requests that cannot start end at once: nothing runs and nothing is written.
TEST_F(InetTest, RequestsThatCannotStartEndAtOnce) {
    const std::string url = server->url();
    const std::vector<std::pair<std::string, std::string>> refused = {
        {url, "put " + kRemote + " " + kLocal},
        {url, "get " + kRemote},
        {url, "get relative/path.exe " + std::string(kLocal)},
        {url, getCommand() + " extra"},
        {url, ""},
        {url, getCommand(R"(c:\pulsaro_zentra\missing_folder\file.exe)")},
        {url, getCommand(R"(d:\pulsaro_zentra\_pulsaro\file.exe)")},
        {"http://127.0.0.1:21", getCommand()},
        {"not a url", getCommand()},
    };
    for (const auto& [requestUrl, command] : refused) {
        SCOPED_TRACE(requestUrl + " | " + command);
        EXPECT_FALSE(inet.Execute(requestUrl, command).ok());
        EXPECT_FALSE(inet.StillExecuting());
        EXPECT_FALSE(inet.Outcome().ok());
    }
    EXPECT_EQ(listFolder(staging()), std::vector<std::string>{});
}

// A literal IPv6 address names the server as a host name does. Where the host's transfer
// library cannot reach one, the test holds it to that known limit instead, and says so: the
// request fails the way the limit does and leaves nothing.
TEST_F(InetTest, Ipv6LiteralServerAddress) {
    ASSERT_TRUE(server->url().starts_with("ftp://[::1]:")) << server->url();
    server->putFile(kRemote, "payload");

    fetch(server->url());

    if (const std::optional<HostLimit> limit = ipv6Limit()) {
        std::cout << "[   NOTE   ] IPv6 is not tried here: " << limit->why << "\n";
        RecordProperty("limit", limit->why);
        EXPECT_EQ(inet.Outcome().code(), limit->code) << inet.Outcome().reason();
        EXPECT_EQ(listFolder(staging()), std::vector<std::string>{});
        return;
    }
    EXPECT_TRUE(inet.Outcome().ok()) << inet.Outcome().reason();
    EXPECT_EQ(readFile(target()), "payload");
    EXPECT_EQ(listFolder(staging()), std::vector<std::string>{"pulsaronew_zentra.exe"});
}

class InetFaultTest : public InetTest, public ::testing::WithParamInterface<InetFaultCase> {
  protected:
    void SetUp() override { server.emplace(GetParam().faults, !GetParam().nothingListening); }
};

TEST_P(InetFaultTest, EndsWithNoFileAndNoTemporaryFile) {
    const InetFaultCase& c = GetParam();
    if (c.remoteFile) server->putFile(c.remoteFile, patternBytes(3 << 20, 4));
    inet.setPassword(c.password);
    inet.setRequestTimeout(c.requestTimeout);

    fetch(server->url());

    const ErrorCode expected = std::holds_alternative<FailedRule>(c.failure)
                                   ? ErrorCode::rule(std::get<FailedRule>(c.failure))
                                   : expectedCode(std::get<TransferFailure>(c.failure));
    EXPECT_EQ(inet.Outcome().code(), expected) << inet.Outcome().reason();
    EXPECT_EQ(listFolder(staging()), std::vector<std::string>{});
}

INSTANTIATE_TEST_SUITE_P(Faults, InetFaultTest, ::testing::ValuesIn(inetFaultCases()),
                         [](const ::testing::TestParamInfo<InetFaultCase>& param) {
                             return param.param.name;
                         });

class InetArrivingTest : public InetTest, public ::testing::WithParamInterface<ArrivingCase> {
  protected:
    void SetUp() override { server.emplace(GetParam().faults); }
};

TEST_P(InetArrivingTest, FileArrivesAsTheServerSentIt) {
    const FtpFaults& faults = GetParam().faults;
    const std::string bytes = patternBytes(3 << 20, 8);
    server->putFile(kRemote, bytes);
    inet.setRequestTimeout(GetParam().requestTimeout);

    fetch(server->url());

    EXPECT_TRUE(inet.Outcome().ok()) << inet.Outcome().reason();
    const std::string sent = bytes.substr(0, faults.cutAfterBytes.value_or(bytes.size())) +
                             std::string(static_cast<std::size_t>(faults.growWhileSending), 'g');
    EXPECT_TRUE(readFile(target()) == sent);
    EXPECT_EQ(listFolder(staging()), std::vector<std::string>{"pulsaronew_zentra.exe"});
}

INSTANTIATE_TEST_SUITE_P(StatedSizes, InetArrivingTest, ::testing::ValuesIn(arrivingCases()),
                         [](const ::testing::TestParamInfo<ArrivingCase>& param) {
                             return param.param.name;
                         });

}  // namespace
}  // namespace pulsaro::test
