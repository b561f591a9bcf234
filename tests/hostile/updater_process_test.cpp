// The built updater as its own process, in an environment set against it: no display, a display
// that goes away, termination signals, a second updater started at the same moment. Whatever
// happens, the installed application is the old file or the new one, whole; what the updater
// says is true; and nothing it made is left in the install tree.

#include "ftp_server.h"
#include "process_support.h"
#include "temp_drive.h"
#include "texts.h"
#include "update_fixtures.h"
#include "xvfb_display.h"

#include <gtest/gtest.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

namespace fs = std::filesystem;
using namespace pulsaro;
using namespace pulsaro::test;
using namespace std::chrono_literals;

namespace {

constexpr const char* kOutsideCopy = "outside copy";

// The tree as the setup leaves it, with a copy of the application outside the install root; the
// updater itself is put in place when it is started.
void installOld(const TempDrive& t, const std::string& oldApp) {
    fs::create_directories(t.onDrive("pulsaro_zentra/QUORVIN"));
    fs::create_directories(t.onDrive("pulsaro_zentra/_Pulsaro"));
    fs::create_directories(t.onDrive("pulsaro"));
    writeFile(t.onDrive("pulsaro_zentra/Pulsaro_zentra.exe"), oldApp);
    writeFile(t.onDrive("pulsaro/pulsaro_zentra.exe"), kOutsideCopy);
}

fs::path standardErrorOf(const TempDrive& t) {
    return t.base() / "stderr.txt";
}

// The messages the updater wrote on standard error, among its other lines.
std::vector<std::string> toldOn(const fs::path& standardError) {
    std::vector<std::string> told;
    for (const std::string& line : linesOf(standardError)) {
        for (std::string_view message : {texts::kUpdated, texts::kNotUpdated}) {
            if (line == std::string(texts::kUpdateTitle) + ": " + std::string(message)) {
                told.push_back(line);
            }
        }
    }
    return told;
}

std::vector<std::string> told(std::string_view message) {
    return {std::string(texts::kUpdateTitle) + ": " + std::string(message)};
}

int exitCode(const std::optional<int>& status) {
    return status && WIFEXITED(*status) ? WEXITSTATUS(*status) : -1;
}

// A transfer of about four seconds, so that something can happen in the middle of it.
FtpFaults slowServer() {
    return {.bytesPerSecond = 1 << 20};
}

// Waits until the updater has received part of the download.
bool downloadUnderWay(const TempDrive& t, pid_t pid) {
    return eventually([&] { return bytesOpenIn(pid, t.onDrive("pulsaro_zentra/_Pulsaro")) > 0; },
                      30s);
}

// Started from cron, ssh or a service: no display, or one that does not answer. The update runs
// all the same and its message goes to standard error.
TEST(UpdaterWithoutDisplay, RunsTheUpdateAndWritesItsMessageToStandardError) {
    struct Case {
        const char* description;
        std::string display;
        bool serverUp;
    };
    // A display number no X server here has. Appended rather than added to ":", which GCC 12
    // at -O3 takes for an overlapping copy.
    std::string silentDisplay = ":";
    silentDisplay += std::to_string(7000 + ::getpid() % 1000);
    const std::vector<Case> cases = {
        {"no display, server up", "", true},
        {"no display, server down", "", false},
        {"a display that does not answer, server up", silentDisplay, true},
    };
    const std::string oldApp = patternBytes(200000, 51);
    const std::string newApp = patternBytes(1 << 20, 52);
    FtpServer server;
    server.putFile(kRemoteApp, newApp);
    ClosedPort closedPort;
    TempDrives drives(cases.size());
    std::vector<pid_t> pids;
    for (std::size_t i = 0; i < cases.size(); ++i) {
        installOld(drives[i], oldApp);
        pids.push_back(startInstalledUpdater(
            drives[i].drive(), cases[i].serverUp ? server.url() : closedPort.url(),
            {.display = cases[i].display, .standardError = standardErrorOf(drives[i])}));
    }
    for (std::size_t i = 0; i < cases.size(); ++i) {
        const Case& c = cases[i];
        SCOPED_TRACE(c.description);
        const std::optional<int> status = waitForEnd(pids[i]);
        ASSERT_TRUE(status.has_value()) << "the updater did not end";
        EXPECT_EQ(exitCode(status), c.serverUp ? 0 : 1);
        EXPECT_EQ(toldOn(standardErrorOf(drives[i])),
                  told(c.serverUp ? texts::kUpdated : texts::kNotUpdated));
        expectTreeAfterRun(drives[i], c.serverUp ? newApp : oldApp, c.serverUp);
    }
}

// The display dies while the file is on its way: the program ends without the new application,
// says it did not update, and leaves no part of the download behind.
TEST(UpdaterWithoutDisplay, LosingTheDisplayMidDownloadLeavesNoFile) {
    XvfbDisplay x;
    ASSERT_TRUE(x.running()) << "Xvfb did not start";
    TempDrive t;
    const std::string oldApp = patternBytes(200000, 53);
    installOld(t, oldApp);
    FtpServer server(slowServer());
    server.putFile(kRemoteApp, patternBytes(4 << 20, 54));
    const pid_t pid = startInstalledUpdater(
        t.drive(), server.url(), {.display = x.display(), .standardError = standardErrorOf(t)});
    ASSERT_TRUE(downloadUnderWay(t, pid));

    x.stop();

    const std::optional<int> status = waitForEnd(pid);
    ASSERT_TRUE(status.has_value()) << "the updater did not end";
    EXPECT_EQ(exitCode(status), 1);
    EXPECT_EQ(toldOn(standardErrorOf(t)), std::vector<std::string>{});
    expectTreeAfterRun(t, oldApp, false);
}

// SIGTERM, SIGINT or SIGHUP in the middle of the download: the program ends by that signal, says
// nothing, keeps the installed application and leaves no part of the download behind.
TEST(UpdaterSignals, EndTheProgramCleanlyMidDownload) {
    XvfbDisplay x;
    ASSERT_TRUE(x.running()) << "Xvfb did not start";
    const int endings[] = {SIGTERM, SIGINT, SIGHUP};
    const std::string oldApp = patternBytes(200000, 55);
    FtpServer server(slowServer());
    server.putFile(kRemoteApp, patternBytes(4 << 20, 56));
    TempDrives drives(std::size(endings));
    std::vector<pid_t> pids;
    for (std::size_t i = 0; i < drives.size(); ++i) {
        installOld(drives[i], oldApp);
        pids.push_back(startInstalledUpdater(
            drives[i].drive(), server.url(),
            {.display = x.display(), .standardError = standardErrorOf(drives[i])}));
    }
    for (std::size_t i = 0; i < drives.size(); ++i) {
        SCOPED_TRACE(strsignal(endings[i]));
        ASSERT_TRUE(downloadUnderWay(drives[i], pids[i]));
        ::kill(pids[i], endings[i]);

        const std::optional<int> status = waitForEnd(pids[i]);
        ASSERT_TRUE(status.has_value()) << "the updater did not end";
        EXPECT_TRUE(WIFSIGNALED(*status) && WTERMSIG(*status) == endings[i]);
        EXPECT_EQ(toldOn(standardErrorOf(drives[i])), std::vector<std::string>{});
        expectTreeAfterRun(drives[i], oldApp, false);
    }
}

// Two updaters started at the same moment on one installation: the second waits for the first,
// then runs its own update; both install the new application and both say so.
TEST(ConcurrentUpdaters, TwoAtOnceBothInstallAndSaySo) {
    const std::string oldApp = patternBytes(2 << 20, 41);
    const std::string newApp = patternBytes(4 << 20, 42);
    FtpServer server({.bytesPerSecond = 4 << 20});  // each download about a second: they overlap
    server.putFile(kRemoteApp, newApp);
    // Several installations, each with its pair of updaters, for more interleavings per run.
    constexpr std::size_t kInstallations = 3;
    TempDrives drives(kInstallations);
    std::vector<pid_t> pids;
    for (std::size_t i = 0; i < kInstallations; ++i) {
        installOld(drives[i], oldApp);
        for (const char* which : {"first", "second"}) {
            pids.push_back(startInstalledUpdater(
                drives[i].drive(), server.url(),
                {.standardError = drives[i].base() / (std::string(which) + ".txt")}));
        }
    }
    for (std::size_t i = 0; i < kInstallations; ++i) {
        SCOPED_TRACE("installation " + std::to_string(i));
        for (std::size_t twice = 0; twice < 2; ++twice) {
            const std::optional<int> status = waitForEnd(pids[2 * i + twice]);
            ASSERT_TRUE(status.has_value()) << "an updater did not end";
            EXPECT_EQ(exitCode(status), 0);
            EXPECT_EQ(toldOn(drives[i].base() / (twice == 0 ? "first.txt" : "second.txt")),
                      told(texts::kUpdated));
        }
        expectTreeAfterRun(drives[i], newApp, true);
    }
}

}  // namespace
