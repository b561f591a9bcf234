#include "curl_inet.h"
#include "ftp_server.h"
#include "host.h"
#include "inet_fault_cases.h"
#include "temp_drive.h"
#include "update_fixtures.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace fs = std::filesystem;
using namespace std::chrono_literals;

namespace pulsaro {
namespace {

using test::ClosedPort;
using test::FtpFaults;
using test::FtpServer;
using test::InetFaultCase;
using test::kRemoteApp;
using test::listFolder;
using test::patternBytes;
using test::readFile;
using test::TempDrive;
using test::TransferFailure;
using test::writeFile;

constexpr const char* kLocal = R"(c:\pulsaro_zentra\_pulsaro\pulsaronew_zentra.exe)";

std::string getCommand(const std::string& local = kLocal) {
    return std::string("get  ") + kRemoteApp + " " + local;
}

// Pumps events until the request has ended; false if it is still running after the limit.
bool waitForEnd(const Inet& inet, std::chrono::milliseconds limit = 8s) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (inet.StillExecuting() && std::chrono::steady_clock::now() < deadline) {
        DoEventsWaiting(50ms);
    }
    return !inet.StillExecuting();
}

std::size_t openSockets() {
    std::size_t count = 0;
    for (const auto& entry : fs::directory_iterator("/proc/self/fd")) {
        std::error_code ec;
        if (fs::read_symlink(entry.path(), ec).string().rfind("socket:", 0) == 0) ++count;
    }
    return count;
}

std::uintmax_t bytesReceivedSoFar(const fs::path& folder) {
    std::uintmax_t total = 0;
    for (const auto& entry : fs::directory_iterator(folder)) total += entry.file_size();
    return total;
}

// The install tree's staging folder as the setup spells it, which the updater writes in lower
// case.
class InetTest : public ::testing::Test {
  protected:
    // The updater's account, as the fixture server expects it.
    InetTest() {
        fs::create_directories(staging());
        inet.setUserName("pulsarozentra");
        inet.setPassword("kx7rw2pq5d");
    }
    fs::path staging() const { return drive.onDrive("pulsaro_zentra/_Pulsaro"); }
    fs::path target() const { return staging() / "pulsaronew_zentra.exe"; }

    TempDrive drive;
    CurlInet inet;
};

TEST_F(InetTest, FilesArriveByteIdentical) {
    for (const std::size_t size : {std::size_t{0}, std::size_t{1}, std::size_t{(3 << 20) + 7}}) {
        SCOPED_TRACE(size);
        const std::size_t socketsBefore = openSockets();
        FtpServer server;
        const std::string bytes = patternBytes(size, static_cast<unsigned>(size));
        server.putFile(kRemoteApp, bytes);

        ASSERT_TRUE(inet.Execute(server.url(), getCommand()).ok());
        EXPECT_TRUE(inet.StillExecuting());
        ASSERT_TRUE(waitForEnd(inet));

        EXPECT_TRUE(inet.Outcome().ok()) << inet.Outcome().reason();
        EXPECT_EQ(listFolder(staging()), std::vector<std::string>{"pulsaronew_zentra.exe"});
        EXPECT_TRUE(readFile(target()) == bytes);
        EXPECT_EQ(openSockets(), socketsBefore) << "a connection was left open";
        fs::remove(target());
    }
}

// A real server's login lands in the account's home folder; the remote path is taken from the
// server's root all the same.
TEST_F(InetTest, RemotePathIsAbsoluteOnTheServer) {
    FtpFaults homeFolder;
    homeFolder.loginFolder = "/home";
    FtpServer server(homeFolder);
    server.putFile(kRemoteApp, "from the root");
    server.putFile(std::string("/home") + kRemoteApp, "from the home folder");

    ASSERT_TRUE(inet.Execute(server.url(), getCommand()).ok());
    ASSERT_TRUE(waitForEnd(inet));

    EXPECT_TRUE(inet.Outcome().ok()) << inet.Outcome().reason();
    EXPECT_EQ(readFile(target()), "from the root");
}

TEST_F(InetTest, SuccessReplacesAnOlderLongerFile) {
    FtpServer server;
    server.putFile(kRemoteApp, "new");
    writeFile(target(), patternBytes(100000, 9));

    ASSERT_TRUE(inet.Execute(server.url(), getCommand()).ok());
    ASSERT_TRUE(waitForEnd(inet));

    EXPECT_TRUE(inet.Outcome().ok()) << inet.Outcome().reason();
    EXPECT_EQ(readFile(target()), "new");
    EXPECT_EQ(listFolder(staging()), std::vector<std::string>{"pulsaronew_zentra.exe"});
}

// The product's URL is written "FTP://", and the updater names the staging folder "_pulsaro"
// where the setup made "_Pulsaro"; the command's verb and spacing vary too.
TEST_F(InetTest, SchemeVerbAndLocalPathAreReadIgnoringCase) {
    FtpServer server;
    server.putFile(kRemoteApp, "payload");
    const std::string url = "FTP://127.0.0.1:" + std::to_string(server.port());
    const std::string command = std::string("  GeT   ") + kRemoteApp +
                                "   C:\\PULSARO_ZENTRA\\_PULSARO\\pulsaronew_zentra.exe ";

    ASSERT_TRUE(inet.Execute(url, command).ok());
    ASSERT_TRUE(waitForEnd(inet));

    EXPECT_TRUE(inet.Outcome().ok()) << inet.Outcome().reason();
    EXPECT_EQ(listFolder(drive.onDrive("pulsaro_zentra")), std::vector<std::string>{"_Pulsaro"});
    EXPECT_EQ(readFile(target()), "payload");
}

TEST_F(InetTest, EmptyUrlArgumentUsesTheUrlProperty) {
    FtpServer server;
    server.putFile(kRemoteApp, "payload");
    inet.setURL(server.url());

    ASSERT_TRUE(inet.Execute("", getCommand()).ok());
    ASSERT_TRUE(waitForEnd(inet));

    EXPECT_TRUE(inet.Outcome().ok()) << inet.Outcome().reason();
    EXPECT_EQ(readFile(target()), "payload");
}

// The shared faults in libcurl's codes.
ErrorCode expectedCode(TransferFailure failure) {
    switch (failure) {
        case TransferFailure::LoginDenied:
            return ErrorCode::transfer(CURLE_LOGIN_DENIED);
        case TransferFailure::RemoteFolderMissing:
            return ErrorCode::transfer(CURLE_REMOTE_ACCESS_DENIED);
        case TransferFailure::RemoteFileMissing:
            return ErrorCode::transfer(CURLE_REMOTE_FILE_NOT_FOUND);
        case TransferFailure::CannotConnect:
            return ErrorCode::transfer(CURLE_COULDNT_CONNECT);
        case TransferFailure::CutShort:
            return ErrorCode::transfer(CURLE_PARTIAL_FILE);
        case TransferFailure::TimedOut:
            return ErrorCode::transfer(CURLE_OPERATION_TIMEDOUT);
        case TransferFailure::ShorterThanAnnounced:
            return ErrorCode::rule(FailedRule::ShorterThanAnnounced);
        case TransferFailure::LongerThanAnnounced:
            return ErrorCode::rule(FailedRule::LongerThanAnnounced);
    }
    return {};
}

class InetFaultTest : public InetTest, public ::testing::WithParamInterface<InetFaultCase> {};

TEST_P(InetFaultTest, EndsWithNoFileAndNoTemporaryFile) {
    const InetFaultCase& c = GetParam();
    FtpServer server(c.faults);
    if (c.remoteFile) server.putFile(c.remoteFile, patternBytes(3 << 20, 4));
    ClosedPort closedPort;
    inet.setPassword(c.password);
    inet.setRequestTimeout(c.requestTimeout);

    const OpResult started =
        inet.Execute(c.nothingListening ? closedPort.url() : server.url(), getCommand());
    ASSERT_TRUE(started.ok()) << started.reason();
    ASSERT_TRUE(waitForEnd(inet));

    EXPECT_FALSE(inet.Outcome().ok());
    EXPECT_EQ(inet.Outcome().code(), expectedCode(c.failure)) << inet.Outcome().reason();
    EXPECT_EQ(listFolder(staging()), std::vector<std::string>{});
}

INSTANTIATE_TEST_SUITE_P(Faults, InetFaultTest, ::testing::ValuesIn(test::inetFaultCases()),
                         [](const ::testing::TestParamInfo<InetFaultCase>& param) {
                             return param.param.name;
                         });

TEST_F(InetTest, FailedRequestLeavesAnExistingFileAsItWas) {
    FtpServer server(test::droppedAfter(1 << 20));
    server.putFile(kRemoteApp, patternBytes(3 << 20, 5));
    writeFile(target(), "previous");

    ASSERT_TRUE(inet.Execute(server.url(), getCommand()).ok());
    ASSERT_TRUE(waitForEnd(inet));

    EXPECT_FALSE(inet.Outcome().ok());
    EXPECT_EQ(readFile(target()), "previous");
    EXPECT_EQ(listFolder(staging()), std::vector<std::string>{"pulsaronew_zentra.exe"});
}

// A transfer slower than the request time-out allows for the whole file, but never quiet for
// that long, runs to its end.
TEST_F(InetTest, SlowButMovingTransferIsNotCut) {
    FtpFaults slow;
    slow.bytesPerSecond = 100000;
    FtpServer server(slow);
    const std::string bytes = patternBytes(250000, 6);
    server.putFile(kRemoteApp, bytes);
    inet.setRequestTimeout(1s);

    ASSERT_TRUE(inet.Execute(server.url(), getCommand()).ok());
    ASSERT_TRUE(waitForEnd(inet));

    EXPECT_TRUE(inet.Outcome().ok()) << inet.Outcome().reason();
    EXPECT_TRUE(readFile(target()) == bytes);
}

TEST_F(InetTest, CancelEndsTheRequestAndClosesItsConnection) {
    FtpFaults slow;
    slow.bytesPerSecond = 500000;
    FtpServer server(slow);
    server.putFile(kRemoteApp, patternBytes(4 << 20, 7));
    const std::size_t socketsBefore = openSockets();

    ASSERT_TRUE(inet.Execute(server.url(), getCommand()).ok());
    const auto deadline = std::chrono::steady_clock::now() + 5s;
    while (bytesReceivedSoFar(staging()) == 0 && std::chrono::steady_clock::now() < deadline) {
        DoEventsWaiting(20ms);
    }
    ASSERT_GT(bytesReceivedSoFar(staging()), 0u);
    ASSERT_TRUE(inet.StillExecuting());
    inet.Cancel();

    EXPECT_FALSE(inet.StillExecuting());
    EXPECT_FALSE(inet.Outcome().ok());
    EXPECT_EQ(listFolder(staging()), std::vector<std::string>{});
    EXPECT_EQ(openSockets(), socketsBefore);

    inet.Cancel();  // idle: nothing to end
    EXPECT_FALSE(inet.StillExecuting());
}

TEST_F(InetTest, ExecuteWhileExecutingIsRefusedAndTheRunningRequestGoesOn) {
    FtpServer server;
    server.putFile(kRemoteApp, "first");
    server.putFile("/other.bin", "second");

    ASSERT_TRUE(inet.Execute(server.url(), getCommand()).ok());
    EXPECT_FALSE(inet.Execute(server.url(), R"(get /other.bin c:\pulsaro_zentra\_pulsaro\o)").ok());
    EXPECT_TRUE(inet.StillExecuting());
    ASSERT_TRUE(waitForEnd(inet));

    EXPECT_TRUE(inet.Outcome().ok()) << inet.Outcome().reason();
    EXPECT_EQ(readFile(target()), "first");
    EXPECT_EQ(listFolder(staging()), std::vector<std::string>{"pulsaronew_zentra.exe"});
}

// Requests that cannot start end at once: nothing runs and nothing is written.
TEST_F(InetTest, RequestsThatCannotStartEndAtOnce) {
    const std::string remote = kRemoteApp;
    const std::vector<std::pair<std::string, std::string>> refused = {
        {"ftp://127.0.0.1:21", std::string("put ") + remote + " " + kLocal},
        {"ftp://127.0.0.1:21", "get " + remote},
        {"ftp://127.0.0.1:21", "get relative/path.exe " + std::string(kLocal)},
        {"ftp://127.0.0.1:21", getCommand() + " extra"},
        {"ftp://127.0.0.1:21", ""},
        {"ftp://127.0.0.1:21", getCommand(R"(c:\pulsaro_zentra\missing_folder\file.exe)")},
        {"ftp://127.0.0.1:21", getCommand(R"(d:\pulsaro_zentra\_pulsaro\file.exe)")},
        {"http://127.0.0.1:21", getCommand()},
        {"not a url", getCommand()},
    };
    for (const auto& [url, command] : refused) {
        SCOPED_TRACE(url + " | " + command);
        EXPECT_FALSE(inet.Execute(url, command).ok());
        EXPECT_FALSE(inet.StillExecuting());
        EXPECT_FALSE(inet.Outcome().ok());
    }
    EXPECT_EQ(listFolder(staging()), std::vector<std::string>{});
}

}  // namespace
}  // namespace pulsaro
