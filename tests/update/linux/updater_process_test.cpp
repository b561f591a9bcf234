// The built programs as their own processes, in an environment set against them: the updater
// without a display, with a display that goes away, on a drive too deep, ended by signals or
// killed outright, and two at once on one installation; the setup ended by signals. Whatever
// happens, the installed application is the old file or the new one, whole; what the updater says
// is true; and nothing it made is left in the install tree, or, after SIGKILL, the next run takes
// it away.

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

#include <algorithm>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <iterator>
#include <memory>
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

fs::path stagingOf(const TempDrive& t) {
    return t.onDrive("pulsaro_zentra/_Pulsaro");
}

// A server that sends the first bytes of the file and then nothing, keeping the connection open:
// a download from it is under way for as long as a test needs, however late the test comes.
FtpFaults stallingServer() {
    return {.stallAfterBytes = 64 << 10};
}

// Waits until the updater has received part of the download.
bool downloadUnderWay(const TempDrive& t, pid_t pid) {
    return eventually([&] { return bytesOpenIn(pid, stagingOf(t)) > 0; }, 60s);
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
        installForUpdate(drives[i], oldApp, kOutsideCopy, builtUpdater());
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
                              {.standardError = standardErrorOf(t), .program = builtUpdater()});
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

// The display dies while the file is on its way: the program ends with status 1, without the new
// application and with no part of the download left behind. Its message would have gone to that
// display, so there is nothing it could have said.
TEST(UpdaterWithoutDisplay, LosingTheDisplayMidDownloadLeavesNoFile) {
    XvfbDisplay x;
    ASSERT_TRUE(x.running()) << "Xvfb did not start";
    TempDrive t;
    const std::string oldApp = patternBytes(200000, 53);
    installForUpdate(t, oldApp, kOutsideCopy, builtUpdater());
    FtpServer server(stallingServer());
    server.putFile(kRemoteApp, patternBytes(4 << 20, 54));
    const pid_t pid = startInstalledUpdater(
        t.drive(), server.url(), {.display = x.display(), .standardError = standardErrorOf(t)});
    ASSERT_TRUE(downloadUnderWay(t, pid));

    x.stop();

    const std::optional<int> status = waitForEnd(pid);
    ASSERT_TRUE(status.has_value()) << "the updater did not end";
    EXPECT_EQ(exitCode(status), 1);
    expectTreeAfterRun(t, oldApp, false);
}

// SIGTERM, SIGINT or SIGHUP in the middle of the download: the program ends by that signal,
// keeps the installed application and leaves no part of the download behind. Without a display
// its message would go to standard error, where it says nothing; with one it ends all the same.
TEST(UpdaterSignals, EndTheProgramCleanlyMidDownload) {
    struct Case {
        int signal;
        bool display;
    };
    const Case cases[] = {{SIGTERM, false}, {SIGINT, false}, {SIGHUP, false}, {SIGTERM, true}};
    XvfbDisplay x;
    ASSERT_TRUE(x.running()) << "Xvfb did not start";
    const std::string oldApp = patternBytes(200000, 55);
    FtpServer server(stallingServer());
    server.putFile(kRemoteApp, patternBytes(4 << 20, 56));
    TempDrives drives(std::size(cases));
    std::vector<pid_t> pids;
    for (std::size_t i = 0; i < drives.size(); ++i) {
        installForUpdate(drives[i], oldApp, kOutsideCopy, builtUpdater());
        pids.push_back(startInstalledUpdater(drives[i].drive(), server.url(),
                                             {.display = cases[i].display ? x.display() : "",
                                              .standardError = standardErrorOf(drives[i])}));
    }
    for (std::size_t i = 0; i < drives.size(); ++i) {
        const Case& c = cases[i];
        SCOPED_TRACE(std::string(strsignal(c.signal)) +
                     (c.display ? ", a display" : ", no display"));
        ASSERT_TRUE(downloadUnderWay(drives[i], pids[i]));
        ::kill(pids[i], c.signal);

        const std::optional<int> status = waitForEnd(pids[i]);
        ASSERT_TRUE(status.has_value()) << "the updater did not end";
        EXPECT_TRUE(WIFSIGNALED(*status) && WTERMSIG(*status) == c.signal) << "status " << *status;
        if (!c.display) {
            EXPECT_EQ(toldOn(standardErrorOf(drives[i])), std::vector<std::string>{});
        }
        expectTreeAfterRun(drives[i], oldApp, false);
    }
}

struct KillMoment {
    const char* name;
    FtpFaults faults;
    // Whether the run has come to the moment, judged by its files in the staging folder.
    bool (*reached)(pid_t pid, const fs::path& staging);
};

// Killed (SIGKILL) where it leaves files behind, and the lock file it held: the next run on the
// same tree takes them away, takes the lock, installs the new application and says so.
TEST(UpdaterKilled, TheNextRunClearsWhatTheKilledOneLeftAndSucceeds) {
    const KillMoment moments[] = {
        {"mid-download", stallingServer(),
         [](pid_t pid, const fs::path& staging) { return bytesOpenIn(pid, staging) > 0; }},
        {"with the download complete",
         {},
         [](pid_t, const fs::path& staging) {
             return fs::exists(staging / "pulsaronew_zentra.exe") ||
                    fs::exists(staging / "pulsaro_zentra.exe");
         }},
    };
    const std::string oldApp = patternBytes(200000, 57);
    const std::string newApp = patternBytes(16 << 20, 58);
    FtpServer goodServer;
    goodServer.putFile(kRemoteApp, newApp);
    for (const KillMoment& m : moments) {
        SCOPED_TRACE(m.name);
        FtpServer server(m.faults);
        server.putFile(kRemoteApp, newApp);
        std::unique_ptr<TempDrive> t;
        pid_t pid = -1;
        Stopped stop = Stopped::Ended;
        // A run may pass the moment between the sight of it and the stop; another one is tried.
        for (int attempt = 0; attempt < 3 && stop != Stopped::AtTheMoment; ++attempt) {
            if (stop == Stopped::Later) endNow(pid);
            t.reset();
            t = std::make_unique<TempDrive>();
            installForUpdate(*t, oldApp, kOutsideCopy, builtUpdater());
            pid = startInstalledUpdater(t->drive(), server.url(),
                                        {.standardError = standardErrorOf(*t)});
            stop = stopAt(pid, [&] { return m.reached(pid, stagingOf(*t)); });
        }
        ASSERT_EQ(stop, Stopped::AtTheMoment) << "never stopped the updater at the moment";
        endNow(pid);
        const std::vector<std::string> left = listFolder(stagingOf(*t));
        ASSERT_NE(std::ranges::find(left, "pulsaro_zentra_update.lock"), left.end())
            << "no stale lock: the kill left nothing to clear";

        const pid_t next = startInstalledUpdater(t->drive(), goodServer.url(),
                                                 {.standardError = standardErrorOf(*t)});

        const std::optional<int> status = waitForEnd(next);
        ASSERT_TRUE(status.has_value()) << "the next run did not end";
        EXPECT_EQ(exitCode(status), 0);
        EXPECT_EQ(toldOn(standardErrorOf(*t)), told(texts::kUpdated));
        expectTreeAfterRun(*t, newApp, true);
    }
}

// Two updaters started at the same moment on one installation: one waits for the lock while the
// other downloads, then runs its own update; both install the new application and both say so.
TEST(ConcurrentUpdaters, OneWaitsForTheOtherThenBothInstallAndSaySo) {
    const std::string oldApp = patternBytes(2 << 20, 41);
    const std::string newApp = patternBytes(4 << 20, 42);
    // Each download takes about two seconds, time enough to see the other updater wait.
    FtpServer server({.bytesPerSecond = 2 << 20});
    server.putFile(kRemoteApp, newApp);
    // Several installations, each with its pair of updaters, for more interleavings per run.
    constexpr std::size_t kInstallations = 3;
    TempDrives drives(kInstallations);
    std::vector<pid_t> pids;
    for (std::size_t i = 0; i < kInstallations; ++i) {
        installForUpdate(drives[i], oldApp, kOutsideCopy, builtUpdater());
        for (const char* which : {"first", "second"}) {
            pids.push_back(startInstalledUpdater(
                drives[i].drive(), server.url(),
                {.standardError = drives[i].base() / (std::string(which) + ".txt")}));
        }
    }
    for (std::size_t i = 0; i < kInstallations; ++i) {
        const auto waitsWhileTheOtherDownloads = [&](pid_t waiter, pid_t downloader) {
            return waitsForALock(waiter) && bytesOpenIn(downloader, stagingOf(drives[i])) > 0;
        };
        const pid_t first = pids[2 * i], second = pids[2 * i + 1];
        EXPECT_TRUE(eventually(
            [&] {
                return waitsWhileTheOtherDownloads(first, second) ||
                       waitsWhileTheOtherDownloads(second, first);
            },
            60s))
            << "installation " << i << ": never saw one updater wait while the other downloaded";
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

// The setup, its window open, ended by SIGTERM, SIGINT or SIGHUP: it ends by that signal and has
// written nothing.
TEST(SetupSignals, EndTheSetupByThatSignal) {
    XvfbDisplay x;
    ASSERT_TRUE(x.running()) << "Xvfb did not start";
    const fs::path setup = builtDistribution() / "setup_pulsaro_zentra";
    for (const int signal : {SIGTERM, SIGINT, SIGHUP}) {
        SCOPED_TRACE(strsignal(signal));
        TempDrive t;
        const pid_t pid = ::fork();
        if (pid == 0) {
            setenv("PULSARO_DRIVE_C", t.drive().c_str(), 1);
            setenv("QT_QPA_PLATFORM", "xcb", 1);
            setenv("DISPLAY", x.display().c_str(), 1);
            execl(setup.c_str(), setup.c_str(), nullptr);
            _exit(127);
        }
        ASSERT_FALSE(x.waitForWindow("^Form1$", 60s).empty()) << "the setup window did not open";

        ::kill(pid, signal);

        const std::optional<int> status = waitForEnd(pid);
        ASSERT_TRUE(status.has_value()) << "the setup did not end";
        EXPECT_TRUE(WIFSIGNALED(*status) && WTERMSIG(*status) == signal) << "status " << *status;
        EXPECT_EQ(listFolder(t.drive()), std::vector<std::string>{});
    }
}

}  // namespace
