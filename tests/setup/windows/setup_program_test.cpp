// The Windows setup program as users get it, run under Wine from a distribution folder on a
// private X display: driven with xdotool at client coordinates (its controls are not X windows),
// seen through screenshots, its message box read with window_probe, judged by the tree it leaves
// on the drive and the registrations it leaves in the prefix's registry.

#include "about.h"
#include "dist_files.h"
#include "process_support.h"
#include "setup_elements.h"
#include "setup_window_cases.h"
#include "temp_drive.h"
#include "texts.h"
#include "wine_prefix.h"
#include "xvfb_display.h"

#include "done_mark.xpm"

#include <QImage>

#include <gtest/gtest.h>

#include <signal.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <future>
#include <sstream>
#include <string>
#include <vector>

#ifndef PULSARO_WINDOWS_BUILD_DIR
#error "The build defines PULSARO_WINDOWS_BUILD_DIR as the Windows build tree"
#endif

namespace fs = std::filesystem;
using namespace pulsaro;
using namespace pulsaro::setup;
using namespace pulsaro::test;
using namespace std::chrono_literals;

namespace {

const fs::path kWindowsBuild = PULSARO_WINDOWS_BUILD_DIR;
const fs::path kWindowsDist = kWindowsBuild / "dist";

struct Control {
    const char* file;
    const char* classId;
};
const Control kControls[] = {{"MSWINSCK.OCX", "{0A050457-FA11-4DBA-824F-F0C5FACEC438}"},
                             {"MSINET.OCX", "{E568302E-582F-4F27-B8AF-7474F0D34126}"},
                             {"MSCOMCTL.OCX", "{F552CDC3-BB1D-4F8A-B023-81B5EA4116FB}"}};

class WindowsSetup : public WinePrefixTest {
  protected:
    void SetUpInPrefix() override { ASSERT_TRUE(x.running()) << "Xvfb did not start"; }

    void TearDown() override {
        if (!running_.valid()) return;
        const ProgramRun run = close();
        EXPECT_EQ(run.exitCode, 0) << "closing the window ends the program; it said:\n"
                                   << run.output;
    }

    // Starts the setup from the current folder with c:\ on the test's drive, and waits for its
    // window.
    void start(const std::vector<std::string>& environment = {}) {
        std::vector<std::string> full = {"DISPLAY=" + x.display(),
                                         "PULSARO_DRIVE_C=" + windowsPath(drive.drive())};
        full.insert(full.end(), environment.begin(), environment.end());
        running_ = std::async(std::launch::async, [this, full] {
            return wine({(kWindowsDist / "setup_pulsaro_zentra.exe").string()}, full, 180s);
        });
        window_ = x.waitForWindow("^Form1$", 60s);
        ASSERT_FALSE(window_.empty()) << "the setup window did not appear";
        findClientArea();
    }

    // The frame Wine draws around the client area is part of the X window: a fixed single
    // border, as wide on every side, and the caption above.
    void findClientArea() {
        std::istringstream geometry(x.xdotool({"getwindowgeometry", window_}));
        std::string word;
        while (geometry >> word && word != "Geometry:") {
        }
        char by = 0;
        geometry >> width_ >> by >> height_;
        border_ = (width_ - pixels(kClientWidthTwips)) / 2;
        clientTop_ = height_ - pixels(kClientHeightTwips) - border_;
    }

    void clickAt(int clientX, int clientY) const {
        x.xdotool({"mousemove", "--window", window_, std::to_string(border_ + clientX),
                   std::to_string(clientTop_ + clientY), "click", "1"});
    }

    void click(Element id) const {
        const ClientPoint centre = centreOf(id);
        clickAt(centre.x, centre.y);
    }

    void pressEnter() const { x.xdotool({"key", "--window", window_, "Return"}); }

    // Clicks the close button at the caption's right end; how the program ended.
    ProgramRun close() {
        x.xdotool({"mousemove", "--window", window_, std::to_string(width_ - border_ - 9),
                   std::to_string(border_ + 8), "click", "1"});
        return running_.get();
    }

    // The client area as the X server shows it.
    QImage clientArea() const {
        const fs::path file = drive.base() / "screenshot.png";
        if (!x.screenshot(window_, file.string())) return {};
        return QImage(QString::fromStdString(file.string()))
            .copy(border_, clientTop_, pixels(kClientWidthTwips), pixels(kClientHeightTwips));
    }

    // The message box the setup shows, once it shows one: its visible parts, one a line.
    std::string messageBox() {
        box_ = x.waitForWindow("^pulsaro_setup$", 30s);
        if (box_.empty()) return {};
        return wine({(kWindowsBuild / "tests/window_probe.exe").string(), "pulsaro_setup"},
                    {"DISPLAY=" + x.display()})
            .output;
    }

    // Presses Enter on the message box until it goes.
    bool answerMessageBox() const {
        return eventually(
            [&] {
                x.xdotool({"key", "--window", box_, "Return"});
                return x.visibleWindows("^pulsaro_setup$") == std::vector<std::string>{};
            },
            20s);
    }

    bool installed(const char* relative) const {
        return eventually([&] { return fs::exists(drive.onDrive(relative)); }, 30s);
    }

    // The path a control registered itself with in the prefix's registry; empty when it is not.
    std::string registeredServer(const Control& control) const {
        const ProgramRun query = regQuery(std::string("HKCU\\Software\\Classes\\CLSID\\") +
                                          control.classId + "\\InprocServer32");
        const std::string type = "REG_SZ    ";
        const std::size_t at = query.output.find(type);
        if (query.exitCode != 0 || at == std::string::npos) return {};
        std::string value = query.output.substr(at + type.size());
        return value.substr(0, value.find_first_of("\r\n"));
    }

    XvfbDisplay x;
    TempDrive drive;

  private:
    std::future<ProgramRun> running_;
    std::string window_;
    std::string box_;
    int width_ = 0, height_ = 0, border_ = 0, clientTop_ = 0;
};

bool completeTree(const TempDrive& t, unsigned generation) {
    return std::ranges::all_of(kDistFiles, [&](const DistFile& f) {
        const fs::path file = t.onDrive(f.installed);
        return fs::exists(file) && readFile(file) == distContent(f.source, generation);
    });
}

TEST_F(WindowsSetup, PassoUnoInstallsTheTreeOnACleanDriveByteForByteInOneFolderPerName) {
    fillDistribution(drive, 1);
    start();
    click(Element::Command1);
    ASSERT_TRUE(eventually([&] { return completeTree(drive, 1); }, 30s));
    expectCompleteTree(drive, 1);
    EXPECT_EQ(listFolder(drive.drive()), std::vector<std::string>{"pulsaro_zentra"});
}

TEST_F(WindowsSetup, PassoUnoReinstallsOverACompleteInstallation) {
    fillDistribution(drive, 1);
    start();
    click(Element::Command1);
    ASSERT_TRUE(eventually([&] { return completeTree(drive, 1); }, 30s));
    writeFile(drive.onDrive("pulsaro_zentra/stray.log"), "left by the application");
    writeFile(drive.onDrive("pulsaro_zentra/_Pulsaro/keep.txt"), "in a subfolder");
    fillDistribution(drive, 2);
    click(Element::Command1);
    ASSERT_TRUE(eventually([&] { return completeTree(drive, 2); }, 30s));
    EXPECT_TRUE(eventually([&] { return !fs::exists(drive.onDrive("pulsaro_zentra/stray.log")); }));
    EXPECT_EQ(listFolder(drive.onDrive("pulsaro_zentra")), installedRootListing());
    EXPECT_EQ(listFolder(drive.onDrive("pulsaro_zentra/_Pulsaro")),
              (std::vector<std::string>{"keep.txt", "pulsaro_zentra_update.exe"}));
}

TEST_F(WindowsSetup, PassoDueRegistersTheThreeControlsWithTheSystemsRegsvr32) {
    const auto unregisterAll = [&] {
        for (const Control& c : kControls) {
            wine({"reg", "delete", std::string("HKCU\\Software\\Classes\\CLSID\\") + c.classId,
                  "/f"});
        }
    };
    unregisterAll();
    fs::current_path(kWindowsDist);
    start();
    click(Element::Command1);
    ASSERT_TRUE(installed("pulsaro_zentra/MSCOMCTL.OCX"));
    click(Element::Command6);
    for (const Control& c : kControls) {
        SCOPED_TRACE(c.file);
        std::string server;
        EXPECT_TRUE(eventually([&] { return !(server = registeredServer(c)).empty(); }, 30s));
        EXPECT_EQ(lowerCase(server),
                  lowerCase(windowsPath(drive.onDrive("pulsaro_zentra") / c.file)));
    }
    unregisterAll();
}

// The start message, as the box shows it: the text, one OK button, no icon and nothing else.
std::vector<std::string> startMessageBox() {
    return {"Button\tOK", "Static\t" + std::string(texts::kStartMessage)};
}

// The installed application's processes that the setup started with this environment entry:
// Wine gives a started program the environment of its starter and names it by its Windows path.
// Wine's own services inherit the environment too; the name tells them apart.
std::vector<pid_t> startedApplications(const std::string& environmentEntry) {
    std::vector<pid_t> started;
    for (const pid_t pid : processesWithEnvironment(environmentEntry)) {
        std::ifstream commandLine("/proc/" + std::to_string(pid) + "/cmdline");
        std::string program;
        std::getline(commandLine, program, '\0');
        if (lowerCase(program).ends_with("\\pulsaro_zentra.exe")) started.push_back(pid);
    }
    return started;
}

TEST_F(WindowsSetup, AvviaPulsaroShowsTheMessageThenStartsTheInstalledApplication) {
    fs::current_path(kWindowsDist);
    const fs::path marker = drive.base() / "started.txt";
    const std::string markerEntry = "PULSARO_STANDIN_MARKER=" + windowsPath(marker);
    // The application keeps running, and Wine's CreateProcess returns only once it runs: a start
    // before the message would be seen while the message is shown.
    start({markerEntry});
    click(Element::Command1);
    ASSERT_TRUE(installed("pulsaro_zentra/Pulsaro_zentra.exe"));
    click(Element::Command4);
    EXPECT_EQ(probedParts(messageBox()), startMessageBox());
    EXPECT_EQ(startedApplications(markerEntry), std::vector<pid_t>{})
        << "the application started before the message was answered";
    ASSERT_TRUE(answerMessageBox());
    const bool started = eventually([&] { return !linesOf(marker).empty(); }, 30s);
    const std::vector<pid_t> running = startedApplications(markerEntry);
    for (const pid_t application : running) ::kill(application, SIGKILL);
    ASSERT_TRUE(started);
    EXPECT_EQ(running.size(), 1u);
    const std::vector<std::string> starts = linesOf(marker);
    ASSERT_EQ(starts.size(), 1u);
    EXPECT_TRUE(starts[0].starts_with("started pid=") && starts[0].ends_with(" arguments=0"))
        << starts[0];
}

TEST_F(WindowsSetup, EnterAtOnceShowsTheStartMessageWhichHoldsTheWindowUntilAnswered) {
    fillDistribution(drive, 1);
    start();
    // The window takes keys once the system has given it the focus: pressed until it has.
    ASSERT_TRUE(eventually([&] {
        pressEnter();
        return !x.waitForWindow("^pulsaro_setup$", 500ms).empty();
    }));
    EXPECT_EQ(probedParts(messageBox()), startMessageBox());
    click(Element::Command1);  // the box is modal: the window takes no click meanwhile
    ASSERT_TRUE(answerMessageBox());
    EXPECT_FALSE(x.waitForWindow("^Form1$", 5s).empty()) << "the setup stays open";
    EXPECT_EQ(listFolder(drive.drive()), std::vector<std::string>{}) << "Passo 1 ran";
    click(Element::Command1);
    EXPECT_TRUE(eventually([&] { return completeTree(drive, 1); }, 30s)) << "not taking clicks";
}

TEST_F(WindowsSetup, HelpAndVersionPrintAndOpenNoWindow) {
    struct Case {
        const char* option;
        std::string starts;
    };
    const std::string usage = "Usage: setup_pulsaro_zentra.exe [-h | --help | /? | --version]\n";
    for (const Case& c :
         {Case{"--help", usage}, Case{"-h", usage}, Case{"/?", usage},
          Case{"--version", "setup_pulsaro_zentra.exe " + std::string(version())}}) {
        auto running = std::async(std::launch::async, [&] {
            return wine({(kWindowsDist / "setup_pulsaro_zentra.exe").string(), c.option},
                        {"DISPLAY=" + x.display()});
        });
        // A window the program opens shows while it runs.
        std::optional<std::vector<std::string>> shown = std::vector<std::string>{};
        while (running.wait_for(20ms) != std::future_status::ready &&
               shown == std::vector<std::string>{}) {
            shown = x.visibleWindows(".");
        }
        ProgramRun run = running.get();
        EXPECT_EQ(shown, std::vector<std::string>{}) << c.option << ": a window opened";
        EXPECT_EQ(run.exitCode, 0) << c.option;
        std::erase(run.output, '\r');  // text written on Windows ends its lines in CR LF
        EXPECT_TRUE(run.output.starts_with(c.starts)) << run.output;
    }
    EXPECT_EQ(listFolder(drive.drive()), std::vector<std::string>{});
}

// Whether the done-mark is drawn at a picture box's top-left corner, pixel for pixel: its
// colours where it has them, the background where it is transparent.
bool markShownAt(const QImage& client, Element box) {
    const QImage mark(done_mark_xpm);
    const QPoint corner(pixels(rowOf(box).left), pixels(rowOf(box).top));
    const QRgb background = client.pixel(corner + QPoint(20, 20));
    for (int y = 0; y < kDoneMarkSize; ++y) {
        for (int x = 0; x < kDoneMarkSize; ++x) {
            const QRgb expected = qAlpha(mark.pixel(x, y)) == 0 ? background : mark.pixel(x, y);
            if (client.pixel(corner + QPoint(x, y)) != expected) return false;
        }
    }
    return true;
}

// Whether the box shows nothing but the window's background.
bool boxEmpty(const QImage& client, Element box) {
    const QPoint corner(pixels(rowOf(box).left), pixels(rowOf(box).top));
    const QRgb background = client.pixel(corner + QPoint(20, 20));
    for (int y = 0; y < pixels(rowOf(box).height); ++y) {
        for (int x = 0; x < pixels(rowOf(box).width); ++x) {
            if (client.pixel(corner + QPoint(x, y)) != background) return false;
        }
    }
    return true;
}

TEST_F(WindowsSetup, MarksAppearWhereAndAsTheStepsShowThem) {
    start();
    QImage client = clientArea();
    ASSERT_FALSE(client.isNull()) << "no screenshot";
    EXPECT_TRUE(boxEmpty(client, Element::Picture5));
    EXPECT_TRUE(boxEmpty(client, Element::Picture7));

    click(Element::Command6);  // nothing is installed: the registrations fail, the mark shows
    EXPECT_TRUE(eventually([&] { return markShownAt(client = clientArea(), Element::Picture7); }));
    EXPECT_TRUE(boxEmpty(client, Element::Picture5));

    click(Element::Picture7);
    EXPECT_TRUE(eventually([&] { return markShownAt(client = clientArea(), Element::Picture5); }));
    EXPECT_TRUE(markShownAt(client, Element::Picture7));
}

}  // namespace
