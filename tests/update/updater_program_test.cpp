// The built updater run as its own process, as users start it.

#include "ftp_server.h"
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
#include <optional>
#include <random>
#include <thread>

namespace fs = std::filesystem;
using namespace pulsaro::test;

namespace {

// Presses Enter on the message box until the program ends, as a window can be mapped a moment
// before it takes keys. Returns the exit status, or nothing when the program never ended (it is
// then killed).
std::optional<int> answerWithEnter(const XvfbDisplay& x, const std::string& box, pid_t pid) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (std::chrono::steady_clock::now() < deadline) {
        x.xdotool({"windowactivate", "--sync", box});
        x.xdotool({"key", "--window", box, "Return"});
        for (int i = 0; i < 25; ++i) {
            int status = 0;
            if (::waitpid(pid, &status, WNOHANG) == pid) {
                return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
    }
    ::kill(pid, SIGKILL);
    ::waitpid(pid, nullptr, 0);
    return std::nullopt;
}

struct ProgramRun {
    const char* name;
    bool serverUp;
    int expectedStatus;
    std::optional<std::string> trace;
    std::vector<std::string> linesStartingWith;  // on standard error
};

// The message is answered with a key press, as a person would; the exit status tells the caller
// whether the application was really replaced. A good run says nothing on standard error; a
// failed one says what it could not do; a traced one, every step.
TEST(UpdaterProgram, AnswersThroughItsMessageAndExitStatus) {
    const ProgramRun runs[] = {
        {"server up", true, 0, std::nullopt, {}},
        {"server down",
         false,
         1,
         std::nullopt,
         {"pulsaro_update: could not download \"/pulsarozentra.example/mdb-database/_pulsaro/"
          "pulsaro_zentra.exe\" from \"ftp://127.0.0.1:",
          R"(pulsaro_update: could not copy "c:\pulsaro_zentra\_pulsaro\pulsaronew_zentra.exe" to )"}},
        {"server up, traced",
         true,
         0,
         "1",
         {R"(pulsaro_update: ExclusiveLock "c:\pulsaro_zentra\_pulsaro\pulsaro_zentra_update.lock": done)",
          R"(pulsaro_update: KillFiles "c:\pulsaro_zentra\_pulsaro\pulsaronew_zentra.exe": failed, nothing left undone: )",
          R"(pulsaro_update: KillFiles "c:\pulsaro_zentra\_pulsaro\pulsaro_zentra.exe": failed, nothing left undone: )",
          "pulsaro_update: WaitUntilIdle: done", "pulsaro_update: Execute \"ftp://127.0.0.1:",
          "pulsaro_update: WaitUntilIdle: done", "pulsaro_update: WaitUntilIdle: done",
          R"(pulsaro_update: FileCopy "c:\pulsaro_zentra\_pulsaro\pulsaronew_zentra.exe" "c:\pulsaro_zentra\_pulsaro\pulsaro_zentra.exe": done)",
          R"(pulsaro_update: HoldsAnApplication "c:\pulsaro_zentra\_pulsaro\pulsaro_zentra.exe": done)",
          R"(pulsaro_update: KillFiles "c:\pulsaro_zentra\_pulsaro\pulsaronew_zentra.exe": done)",
          R"(pulsaro_update: FileCopy "c:\pulsaro_zentra\_pulsaro\pulsaro_zentra.exe" "c:\pulsaro_zentra\pulsaro_zentra.exe": done)",
          R"(pulsaro_update: KillFiles "c:\pulsaro\pulsaro_zentra.exe": failed, nothing left undone: )",
          R"(pulsaro_update: KillFiles "c:\pulsaro_zentra\_pulsaro\pulsaro_zentra.exe": done)"}},
    };
    for (const ProgramRun& run : runs) {
        // A display of its own for each run, so no keyboard state crosses from one to the next.
        XvfbDisplay x;
        ASSERT_TRUE(x.running()) << "Xvfb did not start";
        TempDrive t;
        fs::create_directories(t.onDrive("pulsaro_zentra"));
        writeFile(t.onDrive("pulsaro_zentra/Pulsaro_zentra.exe"), "old application");
        const std::string fresh = patternBytes(2 << 20, 21);
        ClosedPort closedPort;
        std::string url = closedPort.url();
        std::optional<FtpServer> server;
        if (run.serverUp) {
            server.emplace();
            server->putFile(kRemoteApp, fresh);
            url = server->url();
        }
        const ScopedEnv trace("PULSARO_TRACE", run.trace);
        const fs::path errors = t.base() / "stderr.txt";
        const pid_t pid = startInstalledUpdater(t.drive(), url,
                                                {.display = x.display(), .standardError = errors});
        const std::string box = x.waitForWindow("pulsaro_update", std::chrono::seconds(30));
        if (box.empty()) {
            int status = 0;
            const pid_t ended = ::waitpid(pid, &status, WNOHANG);
            ::kill(pid, SIGKILL);
            ::waitpid(pid, nullptr, 0);
            FAIL() << run.name << ": no message box appeared; program "
                   << (ended == pid ? "had ended with status " + std::to_string(status)
                                    : std::string("was still running"))
                   << "; windows: " << x.xdotool({"search", "--name", "."});
        }
        const std::optional<int> status = answerWithEnter(x, box, pid);
        ASSERT_TRUE(status.has_value()) << run.name << ": the message did not take the key press";
        EXPECT_EQ(*status, run.expectedStatus) << run.name;
        EXPECT_EQ(readFile(t.onDrive("pulsaro_zentra/Pulsaro_zentra.exe")),
                  run.serverUp ? fresh : "old application")
            << run.name;
        EXPECT_EQ(listFolder(t.onDrive("pulsaro_zentra/_Pulsaro")),
                  std::vector<std::string>{"pulsaro_zentra_update.exe"})
            << run.name;
        const std::vector<std::string> said = linesOf(errors);
        ASSERT_EQ(said.size(), run.linesStartingWith.size())
            << run.name << (said.empty() ? "" : ": " + said[0]);
        for (std::size_t i = 0; i < said.size(); ++i) {
            EXPECT_EQ(said[i].rfind(run.linesStartingWith[i], 0), 0u)
                << run.name << ": " << said[i];
        }
    }
}

// Whenever the updater is killed, the installed application is the old file or the new one,
// whole. Twenty runs at once, killed at moments spread over the pause, the download and the
// copies; the spread must reach both sides of the replacement, or the test proved nothing.
TEST(UpdaterProgram, KilledAtAnyMomentLeavesAWholeApplication) {
    const std::string oldApp = patternBytes(4 << 20, 31);
    const std::string newApp = patternBytes(8 << 20, 32);
    FtpFaults slow;
    slow.bytesPerSecond = 8 << 20;
    FtpServer server(slow);
    server.putFile(kRemoteApp, newApp);

    const unsigned seed = std::random_device{}();
    RecordProperty("seed", static_cast<int>(seed));
    std::mt19937 random(seed);
    constexpr int kRuns = 20;
    const auto first = std::chrono::milliseconds(4500), last = std::chrono::milliseconds(9000);
    std::uniform_int_distribution<int> jitter(0, static_cast<int>((last - first).count() / kRuns));
    struct Victim {
        std::unique_ptr<TempDrive> drive;
        pid_t pid;
        std::chrono::steady_clock::time_point killAt;
    };
    std::vector<Victim> victims;
    const fs::path cwd = fs::current_path();
    const auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < kRuns; ++i) {
        auto drive = std::make_unique<TempDrive>();
        fs::create_directories(drive->onDrive("pulsaro_zentra"));
        writeFile(drive->onDrive("pulsaro_zentra/Pulsaro_zentra.exe"), oldApp);
        const pid_t pid = startInstalledUpdater(drive->drive(), server.url());
        const auto at =
            first + (last - first) * i / kRuns + std::chrono::milliseconds(jitter(random));
        victims.push_back({std::move(drive), pid, start + at});
    }
    int sawOld = 0, sawNew = 0;
    for (Victim& v : victims) {
        std::this_thread::sleep_until(v.killAt);
        ::kill(v.pid, SIGKILL);
        ::waitpid(v.pid, nullptr, 0);
        const std::string left = readFile(v.drive->onDrive("pulsaro_zentra/Pulsaro_zentra.exe"));
        ASSERT_TRUE(left == oldApp || left == newApp)
            << "a mixed or truncated application; seed " << seed;
        (left == oldApp ? sawOld : sawNew)++;
    }
    // TempDrive objects were made in a row; destroy them in reverse to restore the folder.
    while (!victims.empty()) victims.pop_back();
    fs::current_path(cwd);
    EXPECT_GT(sawOld, 0) << "no kill landed before the replacement; seed " << seed;
    EXPECT_GT(sawNew, 0) << "no kill landed after the replacement; seed " << seed;
}

}  // namespace
