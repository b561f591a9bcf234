// The built setup as a user meets it: its own process started from a distribution folder, its
// window on a private X server driven with xdotool, the programs it starts and what it writes on
// standard error.

#include "dist_files.h"
#include "hermetic.h"
#include "process_support.h"
#include "setup_window_cases.h"
#include "temp_drive.h"
#include "xvfb_display.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <thread>

namespace fs = std::filesystem;
using namespace pulsaro;
using namespace pulsaro::test;
using namespace std::chrono_literals;

namespace {

// The built distribution in the drive's distribution folder, less the files named; the setup is
// a copy, so that a file missing here is not found beside the program either.
void placeDistribution(const TempDrive& t, const std::vector<std::string>& leftOut = {}) {
    for (const auto& entry : fs::directory_iterator(builtDistribution())) {
        const std::string name = entry.path().filename().string();
        if (std::ranges::find(leftOut, name) != leftOut.end()) continue;
        if (name == "setup_pulsaro_zentra") {
            fs::copy_file(entry.path(), t.dist() / name);
        } else {
            fs::create_symlink(entry.path(), t.dist() / name);
        }
    }
}

// The setup started from the drive's distribution folder on a display, with what it writes on
// standard error kept in a file; ended by its process id when the object goes.
class RunningSetup {
  public:
    RunningSetup(const TempDrive& t, const XvfbDisplay& x,
                 const std::vector<std::string>& environment = {})
        : errors_(t.base() / "setup_stderr.txt") {
        pid_ = ::fork();
        if (pid_ == 0) {
            for (const std::string& entry : environment) ::putenv(const_cast<char*>(entry.c_str()));
            ::setenv("DISPLAY", x.display().c_str(), 1);
            ::setenv("QT_QPA_PLATFORM", "xcb", 1);
            ::unsetenv("WAYLAND_DISPLAY");
            const int fd = ::open(errors_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            if (fd < 0 || ::dup2(fd, 2) < 0 || ::chdir(t.dist().c_str()) != 0) ::_exit(126);
            const std::string program = (t.dist() / "setup_pulsaro_zentra").string();
            ::execl(program.c_str(), program.c_str(), nullptr);
            ::_exit(127);
        }
        window_ = x.waitForWindow("^Form1$", 30s);
    }
    ~RunningSetup() {
        ::kill(pid_, SIGTERM);
        ::waitpid(pid_, nullptr, 0);
    }
    RunningSetup(const RunningSetup&) = delete;
    RunningSetup& operator=(const RunningSetup&) = delete;

    const std::string& window() const { return window_; }
    std::vector<std::string> errorLines() const { return linesOf(errors_); }

  private:
    fs::path errors_;
    pid_t pid_ = -1;
    std::string window_;
};

void click(const XvfbDisplay& x, const std::string& window, setup::Element id) {
    const ClientPoint centre = centreOf(id);
    x.xdotool({"mousemove", "--window", window, std::to_string(centre.x), std::to_string(centre.y),
               "click", "1"});
}

std::string trimmed(std::string text) {
    while (!text.empty() && (text.back() == '\n' || text.back() == ' ')) text.pop_back();
    return text;
}

// Programs that keep every processor busy, as a build beside the setup would, while the object
// lives; each ended by its process id.
class BusyProcessors {
  public:
    explicit BusyProcessors(int count) {
        for (int i = 0; i < count; ++i) {
            const pid_t pid = ::fork();
            if (pid == 0) {
                volatile unsigned spin = 0;
                for (;;) spin = spin + 1;
            }
            if (pid > 0) pids_.push_back(pid);
        }
    }
    ~BusyProcessors() {
        for (pid_t pid : pids_) {
            ::kill(pid, SIGKILL);
            ::waitpid(pid, nullptr, 0);
        }
    }
    BusyProcessors(const BusyProcessors&) = delete;
    BusyProcessors& operator=(const BusyProcessors&) = delete;

  private:
    std::vector<pid_t> pids_;
};

// The start message, once it is shown and has the keyboard focus (when it never takes the focus,
// as soon as it is shown); empty when it did not appear.
std::string startMessage(const XvfbDisplay& x) {
    const std::string box = x.waitForWindow("^pulsaro_setup$", 20s);
    if (box.empty()) return box;
    eventually([&] { return trimmed(x.xdotool({"getwindowfocus"})) == box; }, 5s);
    return box;
}

bool messageGone(const XvfbDisplay& x) {
    return trimmed(x.xdotool({"search", "--onlyvisible", "--name", "^pulsaro_setup$"})).empty();
}

// Answers the start message with keys until it closes, as a message can be shown a moment before
// it takes keys; false when it never closed.
bool answer(const XvfbDisplay& x, const std::vector<std::string>& keys) {
    for (int attempt = 0; attempt < 10; ++attempt) {
        x.xdotool(keys);
        if (eventually([&] { return messageGone(x); }, 2s)) return true;
    }
    return false;
}

// Each way of pressing "Avvia Pulsaro" and answering its message, with the processors busy, must
// start the application exactly once. Return sent to the message as xdotool sends it to a given
// window goes down through the X server's test extension while the message has the focus, and
// its release is sent to the message, which is gone by then: the server holds the key down and
// repeats it into the setup window until the key is let go.
TEST(SetupProgram, EachPressOfTheStartStepStartsTheApplicationOnceHoweverItsKeysArrive) {
    XvfbDisplay x;
    if (!x.running() || toolPath("xdotool").empty()) {
        GTEST_SKIP() << "needs Xvfb and xdotool (Debian xvfb, xdotool)";
    }
    TempDrive t;
    placeDistribution(t);
    fs::create_directories(t.onDrive("pulsaro_zentra"));
    fs::copy_file(builtDistribution() / "Pulsaro_zentra.exe",
                  t.onDrive("pulsaro_zentra/Pulsaro_zentra.exe"));
    const fs::path starts = t.base() / "started.txt";
    const std::string marker = "PULSARO_STANDIN_MARKER=" + starts.string();
    const RunningSetup setup(t, x, {marker, "PULSARO_STANDIN_EXIT=1"});
    ASSERT_FALSE(setup.window().empty()) << "the setup window did not open";

    struct Press {
        const char* name;
        std::vector<std::string> onTheButton;  // empty: a mouse click
        std::vector<std::string> onTheMessage;
        std::chrono::milliseconds watch;  // long enough for a held key to repeat many times
    };
    const std::vector<std::string> returnToTheMessage = {"key", "--window", "", "Return"};
    const std::vector<Press> presses = {
        {"click, Return sent to the message", {}, returnToTheMessage, 3s},
        {"click, Return sent to the message, again", {}, returnToTheMessage, 3s},
        {"click, Return sent to the message, a third time", {}, returnToTheMessage, 3s},
        {"Return on the button and on the message", {"key", "Return"}, {"key", "Return"}, 1500ms},
        {"Space on the button, Return on the message", {"key", "space"}, {"key", "Return"}, 1500ms},
        {"keypad Enter on the button", {"key", "KP_Enter"}, {"key", "Return"}, 1500ms},
    };
    const BusyProcessors load(3);
    for (const Press& press : presses) {
        SCOPED_TRACE(press.name);
        const std::size_t before = linesOf(starts).size();
        if (press.onTheButton.empty()) {
            click(x, setup.window(), setup::Element::Command4);
        } else {
            x.xdotool({"windowfocus", setup.window()});
            eventually([&] { return trimmed(x.xdotool({"getwindowfocus"})) == setup.window(); },
                       5s);
            x.xdotool(press.onTheButton);
        }
        const std::string box = startMessage(x);
        ASSERT_FALSE(box.empty()) << "no start message";
        std::vector<std::string> keys = press.onTheMessage;
        std::ranges::replace(keys, std::string(), box);
        ASSERT_TRUE(answer(x, keys)) << "the start message did not take the key";
        std::this_thread::sleep_for(press.watch);
        EXPECT_EQ(linesOf(starts).size() - before, 1u) << "starts of the application for one press";
        x.xdotool({"keyup", "Return"});  // a key the server still holds is let go
        std::this_thread::sleep_for(300ms);
        ASSERT_TRUE(messageGone(x)) << "the message came back by itself";
    }
    EXPECT_EQ(setup.errorLines(), std::vector<std::string>{});
}

// Clicks "Passo 1" and waits until its last copy, the updater's, is a new file.
bool runPasso1(const XvfbDisplay& x, const RunningSetup& setup, const TempDrive& t) {
    const fs::path last = t.onDrive("pulsaro_zentra/_Pulsaro/pulsaro_zentra_update.exe");
    const auto inode = [&] {
        struct stat info {};
        return ::stat(last.c_str(), &info) == 0 ? info.st_ino : 0;
    };
    const ino_t before = inode();
    click(x, setup.window(), setup::Element::Command1);
    return eventually([&] { return inode() != 0 && inode() != before; }, 30s);
}

// A good "Passo 1" says nothing, a distribution file that is missing is said in one plain line,
// and a trace says every step and how it ended.
TEST(SetupProgram, Passo1SaysOnlyWhatItCouldNotDoOrWithATraceEveryStep) {
    XvfbDisplay x;
    if (!x.running() || toolPath("xdotool").empty()) {
        GTEST_SKIP() << "needs Xvfb and xdotool (Debian xvfb, xdotool)";
    }
    struct Case {
        const char* name;
        std::vector<std::string> leftOut;
        std::vector<std::string> environment;
        int runs;
        std::vector<std::string> linesStartingWith;
    };
    std::vector<std::string> traced = {
        R"(pulsaro_setup: KillFiles "c:\pulsaro_zentra\*.*": failed, nothing left undone: )",
        R"(pulsaro_setup: RemoveDir "c:\pulsaro_zentra": failed, nothing left undone: )",
        R"(pulsaro_setup: MakeDir "c:\pulsaro_zentra": done)",
        R"(pulsaro_setup: MakeDir "c:\pulsaro_zentra\QUORVIN": done)",
        R"(pulsaro_setup: MakeDir "c:\pulsaro_zentra\_Pulsaro": done)"};
    for (const DistFile& f : kDistFiles) {
        traced.push_back(std::string("pulsaro_setup: FileCopy \"") + f.source + "\" \"c:\\");
    }
    const Case cases[] = {
        {"a first installation on a clean drive", {}, {}, 1, {}},
        {"an installation over a complete one", {}, {}, 2, {}},
        {"a distribution file missing",
         {"MSWINSCK.OCX"},
         {},
         1,
         {R"(pulsaro_setup: could not copy "MSWINSCK.OCX" to "c:\pulsaro_zentra\MSWINSCK.OCX": )"}},
        {"a first installation, traced", {}, {"PULSARO_TRACE=1"}, 1, traced},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TempDrive t;
        placeDistribution(t, c.leftOut);
        const RunningSetup setup(t, x, c.environment);
        ASSERT_FALSE(setup.window().empty()) << "the setup window did not open";
        for (int run = 0; run < c.runs; ++run) ASSERT_TRUE(runPasso1(x, setup, t));
        eventually([&] { return setup.errorLines().size() >= c.linesStartingWith.size(); }, 5s);
        std::this_thread::sleep_for(300ms);  // time for a line too many
        const std::vector<std::string> said = setup.errorLines();
        ASSERT_EQ(said.size(), c.linesStartingWith.size()) << (said.empty() ? "" : said[0]);
        for (std::size_t i = 0; i < said.size(); ++i) {
            EXPECT_EQ(said[i].rfind(c.linesStartingWith[i], 0), 0u) << said[i];
        }
        if (!c.leftOut.empty()) {
            EXPECT_EQ(said[0], c.linesStartingWith[0] + (t.dist() / c.leftOut[0]).string() +
                                   ": No such file or directory");
        }
        for (std::size_t i = 5; c.environment.size() && i < said.size(); ++i) {
            EXPECT_TRUE(said[i].ends_with(": done")) << said[i];
        }
    }
}

// A drive folder so deep that the tree's paths would pass the system's limit is said at the start,
// in one plain line, before any step.
TEST(SetupProgram, ADriveFolderTooDeepToWorkInIsSaidAtTheStart) {
    XvfbDisplay x;
    if (!x.running()) GTEST_SKIP() << "needs Xvfb (Debian xvfb)";
    TempDrive t;
    placeDistribution(t);
    const DeepFolder drive(t.base(), 4060);
    ASSERT_EQ(drive.path().native().size(), 4060u);
    const RunningSetup setup(t, x, {"PULSARO_DRIVE_C=" + drive.path().string()});
    ASSERT_FALSE(setup.window().empty()) << "the setup window did not open";
    EXPECT_EQ(setup.errorLines(),
              std::vector<std::string>{
                  "pulsaro_setup: the folder that stands for c:\\, " + drive.path().string() +
                  ", is too deep to work in: the paths of the installation below it would pass "
                  "this system's limit of 4096 bytes. Set PULSARO_DRIVE_C to a shorter folder."});
}

}  // namespace
