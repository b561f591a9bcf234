// Two updaters started at the same moment on one installation, as the built program runs: the
// installed application ends as the old file or the new one, whole; an updater that reports
// success has really put the new one there; and no transient or temporary file is left.

#include "ftp_server.h"
#include "hostile_support.h"
#include "process_support.h"
#include "temp_drive.h"
#include "update_fixtures.h"
#include "xvfb_display.h"

#include <gtest/gtest.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace fs = std::filesystem;
using namespace pulsaro::test;

namespace {

struct Updater {
    pid_t pid;
    int exitStatus = -1;  // -1 while running
};

// Presses Enter on every message box of the updaters until all have ended; false when some did
// not end in time (they are then killed).
bool answerUntilAllEnd(const XvfbDisplay& x, std::vector<Updater>& updaters) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(40);
    for (;;) {
        bool running = false;
        for (Updater& u : updaters) {
            int status = 0;
            if (u.exitStatus < 0 && ::waitpid(u.pid, &status, WNOHANG) == u.pid) {
                u.exitStatus = WIFEXITED(status) ? WEXITSTATUS(status) : 128;
            }
            running |= u.exitStatus < 0;
        }
        if (!running) return true;
        if (std::chrono::steady_clock::now() > deadline) break;
        std::istringstream boxes(
            x.xdotool({"search", "--onlyvisible", "--name", "pulsaro_update"}));
        for (std::string box; std::getline(boxes, box);) {
            x.xdotool({"windowactivate", "--sync", box});
            x.xdotool({"key", "--window", box, "Return"});
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    for (Updater& u : updaters) {
        if (u.exitStatus >= 0) continue;
        ::kill(u.pid, SIGKILL);
        ::waitpid(u.pid, nullptr, 0);
    }
    return false;
}

TEST(ConcurrentUpdaters, TwoAtOnceLeaveAWholeApplicationAndNoTemporaryFile) {
    XvfbDisplay x;
    ASSERT_TRUE(x.running()) << "Xvfb did not start";
    const fs::path program =
        fs::path(std::getenv("PULSARO_DIST_DIR")) / "pulsaro_zentra_update.exe";
    const std::string oldApp = patternBytes(2 << 20, 41);
    const std::string newApp = patternBytes(4 << 20, 42);
    FtpFaults slow;  // each download takes about a second, so the two overlap
    slow.bytesPerSecond = 4 << 20;
    FtpServer server(slow);
    server.putFile(kRemoteApp, newApp);

    // Several installations, each with its pair of updaters, for more interleavings per run.
    constexpr int kInstallations = 3;
    std::vector<std::unique_ptr<TempDrive>> drives;
    std::vector<Updater> updaters;
    const fs::path cwd = fs::current_path();
    for (int i = 0; i < kInstallations; ++i) {
        auto t = std::make_unique<TempDrive>();
        fs::create_directories(t->onDrive("pulsaro_zentra/_Pulsaro"));
        writeFile(t->onDrive("pulsaro_zentra/Pulsaro_zentra.exe"), oldApp);
        const fs::path installed = t->onDrive("pulsaro_zentra/_Pulsaro/pulsaro_zentra_update.exe");
        fs::copy_file(program, installed);
        for (int twice = 0; twice < 2; ++twice) {
            updaters.push_back({startUpdater(installed, t->drive(), server.url(), x.display())});
        }
        drives.push_back(std::move(t));
    }

    ASSERT_TRUE(answerUntilAllEnd(x, updaters)) << "an updater did not end";
    for (int i = 0; i < kInstallations; ++i) {
        SCOPED_TRACE("installation " + std::to_string(i));
        const TempDrive& t = *drives[static_cast<std::size_t>(i)];
        const std::string app = readFile(t.onDrive("pulsaro_zentra/Pulsaro_zentra.exe"));
        EXPECT_TRUE(app == oldApp || app == newApp) << "a mixed or truncated application";
        for (int twice = 0; twice < 2; ++twice) {
            const int status = updaters[static_cast<std::size_t>(2 * i + twice)].exitStatus;
            EXPECT_TRUE(status == 0 || status == 1) << "exit status " << status;
            RecordProperty("installation_" + std::to_string(i) + "_updater_" +
                               std::to_string(twice) + "_exit_status",
                           status);
            if (status == 0) {
                EXPECT_TRUE(app == newApp) << "an updater reported a success it did not have";
            }
        }
        EXPECT_EQ(listFolder(t.onDrive("pulsaro_zentra")),
                  (std::vector<std::string>{"Pulsaro_zentra.exe", "_Pulsaro"}));
        EXPECT_EQ(listFolder(t.onDrive("pulsaro_zentra/_Pulsaro")),
                  std::vector<std::string>{"pulsaro_zentra_update.exe"});
    }
    // Each TempDrive restores the folder and environment it found; undo them in reverse.
    while (!drives.empty()) drives.pop_back();
    fs::current_path(cwd);
}

}  // namespace
