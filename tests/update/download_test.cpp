#include "action.h"
#include "ftp_server.h"
#include "temp_drive.h"
#include "update_fixtures.h"

#include <QTimer>

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace pulsaro {
namespace {

using test::CapturedDiagnostics;
using test::FtpFaults;
using test::FtpServer;
using test::kRemoteApp;
using test::listFolder;
using test::patternBytes;
using test::readFile;
using test::ScopedEnv;
using test::TempDrive;

class DownloadTest : public ::testing::Test {
  protected:
    // The staging folder as the setup creates it.
    DownloadTest() { fs::create_directories(staging()); }
    fs::path staging() const { return drive.onDrive("pulsaro_zentra/_Pulsaro"); }

    TempDrive drive;
    CapturedDiagnostics diagnostics;
    UpdaterWindow window;
    update::Form1& form = window.form;
};

// The application the server keeps at its place arrives under the name it is given, in the
// staging folder the setup made.
TEST_F(DownloadTest, FetchesTheRemoteApplicationToTheDownloadTarget) {
    FtpServer server;
    const std::string bytes = patternBytes((2 << 20) + 3, 11);
    server.putFile(kRemoteApp, bytes);
    ScopedEnv useFixture("PULSARO_UPDATE_URL", server.url());
    Action run;

    form.DownloadUpdate(run, "pulsaronew_zentra.exe");

    EXPECT_EQ(run.failedSteps(), 0) << (diagnostics.lines.empty() ? "" : diagnostics.lines[0]);
    EXPECT_FALSE(form.Inet1.StillExecuting());
    EXPECT_EQ(form.Inet1.URL(), server.url());
    EXPECT_EQ(listFolder(staging()), std::vector<std::string>{"pulsaronew_zentra.exe"});
    EXPECT_TRUE(readFile(staging() / "pulsaronew_zentra.exe") == bytes);
}

// The download goes on to its last step and only the transfer's own step is recorded as failed.
TEST_F(DownloadTest, RefusedLoginLeavesNoFileAndOneFailedStep) {
    FtpFaults refuse;
    refuse.refuseLogin = true;
    FtpServer server(refuse);
    server.putFile(kRemoteApp, "bytes");
    ScopedEnv useFixture("PULSARO_UPDATE_URL", server.url());
    Action run;

    form.DownloadUpdate(run, "pulsaronew_zentra.exe");

    EXPECT_EQ(run.failedSteps(), 1);
    ASSERT_EQ(diagnostics.lines.size(), 1u);
    EXPECT_NE(diagnostics.lines[0].find(": could not download \"/pulsarozentra.example/"),
              std::string::npos)
        << diagnostics.lines[0];
    EXPECT_FALSE(form.Inet1.StillExecuting());
    EXPECT_EQ(listFolder(staging()), std::vector<std::string>{});
}

// With no request running the wait returns without handling a single event.
TEST_F(DownloadTest, IdleWaitReturnsAtOnceWhenNothingRuns) {
    bool eventHandled = false;
    QTimer pending;  // goes with the test, so it cannot fire into a later one
    pending.setSingleShot(true);
    QObject::connect(&pending, &QTimer::timeout, [&eventHandled] { eventHandled = true; });
    pending.start(0);

    EXPECT_TRUE(form.WaitUntilIdle().ok());

    EXPECT_FALSE(eventHandled);
}

}  // namespace
}  // namespace pulsaro
