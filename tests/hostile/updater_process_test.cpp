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

// A drive folder so deep that the install tree's paths pass the system's limit (PATH_MAX): the
// staging folder can still be opened, and so the download can be made in it, but no file in it
// can be named. The updater says at the start that the drive is too deep, fails, keeps the old
// application and leaves no download behind.
TEST(UpdaterOnADeepDrive, SaysSoFailsAndLeavesNoDownloadBehind) {
    constexpr std::size_t kDriveLength = 4060;  // _Pulsaro 4084 bytes long, the files in it 4103+
    TempDrive t;
    const std::string oldApp = patternBytes(200000, 61);
    FtpServer server;
    server.putFile(kRemoteApp, patternBytes(1 << 20, 62));
    const DeepFolder drive(t.base(), kDriveLength);
    ASSERT_EQ(drive.path().string().size(), kDriveLength);
    fs::create_directories("pulsaro_zentra/_Pulsaro");
    writeFile("pulsaro_zentra/Pulsaro_zentra.exe", oldApp);

    const pid_t pid =
        startInstalledUpdater(drive.path(), server.url(),
                              {.standardError = standardErrorOf(t),
                               .program = builtDistribution() / "pulsaro_zentra_update.exe"});
    const std::optional<int> status = waitForEnd(pid);

    ASSERT_TRUE(status.has_value()) << "the updater did not end";
    EXPECT_EQ(exitCode(status), 1);
    // What the updater said, its own lines only, the drive's four thousand bytes written short.
    std::vector<std::string> said;
    for (std::string line : linesOf(standardErrorOf(t))) {
        if (!line.starts_with("pulsaro_update: ")) continue;
        for (std::size_t at; (at = line.find(drive.path().native())) != std::string::npos;) {
            line.replace(at, drive.path().native().size(), "<drive>");
        }
        said.push_back(line);
    }
    EXPECT_EQ(
        said,
        (std::vector<std::string>{
            "pulsaro_update: the folder that stands for c:\\, <drive>, is too deep to work "
            "in: the paths of the installation below it would pass this system's limit of "
            "4096 bytes. Set PULSARO_DRIVE_C to a shorter folder.",
            R"(pulsaro_update: could not copy "c:\pulsaro_zentra\_pulsaro\pulsaronew_zentra.exe" )"
            R"(to "c:\pulsaro_zentra\_pulsaro\pulsaro_zentra.exe": )"
            "<drive>/pulsaro_zentra/_Pulsaro/pulsaronew_zentra.exe: File name too long",
            told(texts::kNotUpdated)[0]}));
    EXPECT_EQ(listFolder("pulsaro_zentra"),
              (std::vector<std::string>{"Pulsaro_zentra.exe", "_Pulsaro"}));
    EXPECT_EQ(listFolder("pulsaro_zentra/_Pulsaro"), std::vector<std::string>{})
        << "the download that could not be staged is gone";
    EXPECT_TRUE(readFile("pulsaro_zentra/Pulsaro_zentra.exe") == oldApp);
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
