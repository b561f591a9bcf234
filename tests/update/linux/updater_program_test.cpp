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

fs::path installRoot(const TempDrive& t) {
    return t.onDrive("pulsaro_zentra");
}

std::uintmax_t installedSize(const TempDrive& t) {
    std::error_code ec;
    const std::uintmax_t size = fs::file_size(installRoot(t) / "Pulsaro_zentra.exe", ec);
    return ec ? 0 : size;
}

// Whether the process has a file (not a folder) open directly in the folder, not below it.
bool hasFileOpenIn(pid_t pid, const fs::path& folder) {
    std::error_code ec;
    for (fs::directory_iterator it("/proc/" + std::to_string(pid) + "/fd", ec), end;
         !ec && it != end; it.increment(ec)) {
        std::error_code linkError, typeError;
        if (fs::read_symlink(it->path(), linkError).parent_path() == folder &&
            fs::is_regular_file(it->path(), typeError)) {
            return true;
        }
    }
    return false;
}

// When in its run an updater is killed: a moment, waited for in the run's files.
struct KillPlan {
    const char* name;
    bool (*reached)(pid_t pid, const TempDrive& t, std::uintmax_t newSize);
    int maxDelayMs = 0;  // the kill comes a random time up to this much after the moment
    // A moment that may pass before the test sees it: the run is stopped there, and counts as
    // killed there only if the moment still holds; one found with the new application in place
    // has passed it.
    bool fleeting = false;
};

const KillPlan kInThePause = {"in the pause",
                              [](pid_t, const TempDrive&, std::uintmax_t) { return true; }, 4000};
const KillPlan kMidDownload = {"mid-download", [](pid_t pid, const TempDrive& t, std::uintmax_t) {
                                   return bytesOpenIn(pid, installRoot(t) / "_Pulsaro") > 0;
                               }};
const KillPlan kInsideTheReplacement = {"inside the replacement",
                                        [](pid_t pid, const TempDrive& t, std::uintmax_t newSize) {
                                            return hasFileOpenIn(pid, installRoot(t)) &&
                                                   installedSize(t) != newSize;
                                        },
                                        0, true};
const KillPlan kWithItsMessageShown = {
    "with its message shown", [](pid_t, const TempDrive& t, std::uintmax_t newSize) {
        return installedSize(t) == newSize &&
               !fs::exists(installRoot(t) / "_Pulsaro" / "pulsaro_zentra_update.lock");
    }};

struct Victim {
    const KillPlan* plan;
    pid_t pid;
    std::optional<std::chrono::steady_clock::time_point> killAt{};
    bool atTheMoment = true;            // false: it ran past a fleeting moment
    std::optional<std::string> left{};  // the installed application once killed
};

// Starts an updater on each drive, which holds the old application, and kills each at its plan's
// moment. Victims whose moment never came within the limit have nothing left.
std::vector<Victim> killAtTheirMoments(const TempDrives& drives,
                                       const std::vector<const KillPlan*>& plans,
                                       const std::string& url, const XvfbDisplay& x,
                                       std::uintmax_t newSize, std::mt19937& random) {
    std::vector<Victim> victims;
    for (std::size_t i = 0; i < drives.size(); ++i) {
        victims.push_back(
            {plans[i], startInstalledUpdater(drives[i].drive(), url, {.display = x.display()})});
    }
    // Generous: a dozen runs share two busy cores and one server.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::minutes(3);
    for (std::size_t killed = 0;
         killed < victims.size() && std::chrono::steady_clock::now() < deadline;) {
        for (std::size_t i = 0; i < victims.size(); ++i) {
            Victim& v = victims[i];
            if (v.left) continue;
            const auto now = std::chrono::steady_clock::now();
            if (!v.killAt && v.plan->reached(v.pid, drives[i], newSize)) {
                std::uniform_int_distribution<int> delay(0, v.plan->maxDelayMs);
                v.killAt = now + std::chrono::milliseconds(delay(random));
                if (v.plan->fleeting) {
                    ::kill(v.pid, SIGSTOP);
                    int status = 0;
                    v.atTheMoment = ::waitpid(v.pid, &status, WUNTRACED) == v.pid &&
                                    WIFSTOPPED(status) &&
                                    v.plan->reached(v.pid, drives[i], newSize);
                }
            } else if (!v.killAt && v.plan->fleeting && installedSize(drives[i]) == newSize) {
                v.killAt = now;
                v.atTheMoment = false;
            }
            if (!v.killAt || now < *v.killAt) continue;
            endNow(v.pid);
            v.left = readFile(installRoot(drives[i]) / "Pulsaro_zentra.exe");
            ++killed;
        }
        std::this_thread::sleep_for(std::chrono::microseconds(500));
    }
    for (const Victim& v : victims) {
        if (!v.left) endNow(v.pid);
    }
    return victims;
}

// Whenever the updater is killed, the installed application is the old file or the new one,
// whole. Runs killed in the pause, mid-download, while the copy that takes the application's
// place is written, and once the update is done and said; each moment is waited for in the run's
// files, not guessed from the clock. With a display, an updater that has replaced the application
// waits for its message to be answered, so that moment lasts.
TEST(UpdaterProgram, KilledAtAnyMomentLeavesAWholeApplication) {
    XvfbDisplay x;
    ASSERT_TRUE(x.running()) << "Xvfb did not start";
    const std::string oldApp = patternBytes(4 << 20, 31);
    const std::string newApp = patternBytes(8 << 20, 32);
    FtpServer server({.bytesPerSecond = 8 << 20});  // a download of about a second
    server.putFile(kRemoteApp, newApp);
    const unsigned seed = std::random_device{}();
    RecordProperty("seed", static_cast<int>(seed));
    std::mt19937 random(seed);

    int sawOld = 0, sawNew = 0, killedInside = 0;
    std::vector<const KillPlan*> plans;
    for (int round = 0; round < 3; ++round) {
        for (const KillPlan* plan :
             {&kInThePause, &kMidDownload, &kInsideTheReplacement, &kWithItsMessageShown}) {
            plans.push_back(plan);
        }
    }
    // The moment inside the replacement lasts as long as one copy, and may be missed: runs for it
    // alone are started again until one is killed there.
    for (int tries = 0; tries < 3 && killedInside == 0; ++tries) {
        SCOPED_TRACE("seed " + std::to_string(seed));
        TempDrives drives(plans.size());
        for (std::size_t i = 0; i < drives.size(); ++i) {
            fs::create_directories(installRoot(drives[i]));
            writeFile(installRoot(drives[i]) / "Pulsaro_zentra.exe", oldApp);
        }
        for (const Victim& v :
             killAtTheirMoments(drives, plans, server.url(), x, newApp.size(), random)) {
            if (!v.left) {
                ADD_FAILURE() << v.plan->name << ": the moment never came";
                continue;
            }
            EXPECT_TRUE(*v.left == oldApp || *v.left == newApp)
                << v.plan->name << ": a mixed or truncated application";
            sawOld += *v.left == oldApp;
            sawNew += *v.left == newApp;
            killedInside += v.plan == &kInsideTheReplacement && v.atTheMoment;
        }
        plans.assign(3, &kInsideTheReplacement);
    }
    EXPECT_GT(sawOld, 0) << "no kill landed before the replacement; seed " << seed;
    EXPECT_GT(sawNew, 0) << "no kill landed after the replacement; seed " << seed;
    EXPECT_GT(killedInside, 0) << "no kill landed inside the replacement; seed " << seed;
}

}  // namespace
