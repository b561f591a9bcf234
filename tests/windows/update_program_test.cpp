// The Windows updater as users get it, run under Wine from its place in the install tree against
// the fixture FTP server, on a private X display: the message it shows (read from its window), the
// key press that answers it, its exit status and what it leaves on the drive.

#include "about.h"
#include "ftp_server.h"
#include "inet_cases.h"
#include "process_support.h"
#include "temp_drive.h"
#include "texts.h"
#include "update_fixtures.h"
#include "wine_prefix.h"
#include "xvfb_display.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <future>
#include <optional>
#include <string>
#include <vector>

#ifndef PULSARO_WINDOWS_BUILD_DIR
#error "The build defines PULSARO_WINDOWS_BUILD_DIR as the Windows build tree"
#endif

namespace fs = std::filesystem;
using namespace pulsaro;
using namespace pulsaro::test;
using namespace std::chrono_literals;

namespace {

const fs::path kWindowsBuild = PULSARO_WINDOWS_BUILD_DIR;

// What the server holds at the remote file's name.
enum class Remote { NewApplication, EmptyFile, Nothing };

struct UpdateCase {
    const char* name;
    FtpFaults faults;
    Remote remote;
    bool serverListening;
    bool updates;
    // How long the run may take to say something: the pause, the transfer, and for a server
    // that goes silent, the updater's request time-out of 60 s.
    std::chrono::seconds untilMessage = 60s;
};

void PrintTo(const UpdateCase& c, std::ostream* out) {
    *out << c.name;
}

const UpdateCase kCases[] = {
    {"ServerUp", {}, Remote::NewApplication, true, true},
    {"LoginRefused", {.refuseLogin = true}, Remote::NewApplication, true, false},
    {"RemoteFileMissing", {}, Remote::Nothing, true, false},
    {"NothingListening", {}, Remote::NewApplication, false, false},
    {"TransferCut", {.dropAfterBytes = 1 << 20}, Remote::NewApplication, true, false},
    {"EmptyRemoteFile", {}, Remote::EmptyFile, true, false},
    // A server that states no size: without its final success reply the bytes are not the file.
    {"NoSizeDroppedPartWayThenControlClosed",
     {.dropAfterBytes = 1 << 20, .announceNoSize = true, .afterData = AfterData::Close},
     Remote::NewApplication,
     true,
     false},
    {"NoSizeDroppedPartWayThenSilence",
     {.dropAfterBytes = 1 << 20, .announceNoSize = true, .afterData = AfterData::Silence},
     Remote::NewApplication,
     true,
     false,
     150s},
    {"NoSizeServerKilledPartWay",
     {.announceNoSize = true, .dieAfterBytes = 1 << 20},
     Remote::NewApplication,
     true,
     false},
};

class WindowsUpdater : public WinePrefixTest {
  protected:
    // The tree as the setup leaves it, with the Windows updater in its place.
    fs::path install(const std::string& app) const {
        installForUpdate(drive, app, std::string("outside copy"));
        const fs::path updater = drive.onDrive("pulsaro_zentra/_Pulsaro/pulsaro_zentra_update.exe");
        fs::copy_file(kWindowsBuild / "dist/pulsaro_zentra_update.exe", updater,
                      fs::copy_options::overwrite_existing);
        return updater;
    }
    std::vector<std::string> environment(const std::string& url) const {
        return {"DISPLAY=" + x.display(), "PULSARO_DRIVE_C=" + windowsPath(drive.drive()),
                "PULSARO_UPDATE_URL=" + url};
    }

    XvfbDisplay x;
    TempDrive drive;
};

// Presses Enter on the message box until the program ends; nothing if it never does.
std::optional<ProgramRun> answerWithEnter(const XvfbDisplay& x, const std::string& box,
                                          std::future<ProgramRun>& updater) {
    for (int attempt = 0; attempt < 40; ++attempt) {
        x.xdotool({"key", "--window", box, "Return"});
        if (updater.wait_for(500ms) == std::future_status::ready) return updater.get();
    }
    return std::nullopt;
}

class WindowsUpdaterRun : public WindowsUpdater,
                          public ::testing::WithParamInterface<UpdateCase> {};

TEST_P(WindowsUpdaterRun, ReplacesTheApplicationOnlyWithAWholeDownloadAndSaysSo) {
    const UpdateCase& c = GetParam();
    ASSERT_TRUE(x.running()) << "Xvfb did not start";
    const std::string oldApp = patternBytes(300000, 1);
    const std::string newApp = patternBytes(3 << 20, 2);
    const fs::path updater = install(oldApp);
    FtpServer server(c.faults);
    if (c.remote != Remote::Nothing) {
        server.putFile(kRemoteApp, c.remote == Remote::NewApplication ? newApp : "");
    }
    ClosedPort closedPort;

    auto running = std::async(std::launch::async, [&] {
        return wine({updater.string()},
                    environment(c.serverListening ? server.url() : closedPort.url()),
                    c.untilMessage + 60s);
    });
    const std::string box = x.waitForWindow("pulsaro_update", c.untilMessage);
    ASSERT_FALSE(box.empty()) << "no message box appeared";
    const ProgramRun shown =
        wine({(kWindowsBuild / "tests/windows/window_probe.exe").string(), "pulsaro_update"},
             {"DISPLAY=" + x.display()});
    const std::optional<ProgramRun> run = answerWithEnter(x, box, running);
    ASSERT_TRUE(run.has_value()) << "the message box did not take the key press";

    const std::string message(c.updates ? texts::kUpdated : texts::kNotUpdated);
    EXPECT_EQ(probedParts(shown.output),
              (std::vector<std::string>{"Button\tOK", "Static\t" + message}))
        << "the message, one OK button and nothing else";
    EXPECT_EQ(run->exitCode, c.updates ? 0 : 1) << run->output;
    expectTreeAfterRun(drive, c.updates ? newApp : oldApp, c.updates);
}

INSTANTIATE_TEST_SUITE_P(Cases, WindowsUpdaterRun, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<UpdateCase>& param) {
                             return param.param.name;
                         });

// Asked for its help or version, the updater prints it and ends: no pause, no message to answer,
// nothing touched.
TEST_F(WindowsUpdater, HelpAndVersionPrintAndTouchNothing) {
    const std::string oldApp = patternBytes(1000, 3);
    const fs::path updater = install(oldApp);
    FtpServer server;
    server.putFile(kRemoteApp, "new application");
    const std::string usage = "Usage: pulsaro_zentra_update.exe [-h | --help | /? | --version]\n";
    const struct {
        const char* option;
        std::string starts;
    } options[] = {{"--help", usage},
                   {"-h", usage},
                   {"/?", usage},
                   {"--version", "pulsaro_zentra_update.exe " + std::string(version()) + "\n"}};
    for (const auto& option : options) {
        SCOPED_TRACE(option.option);
        ProgramRun run = wine({updater.string(), option.option}, environment(server.url()), 30s);
        EXPECT_EQ(run.exitCode, 0) << run.output;
        std::erase(run.output, '\r');  // text written on Windows ends its lines in CR LF
        EXPECT_TRUE(run.output.starts_with(option.starts)) << run.output;
        EXPECT_EQ(readFile(drive.onDrive("pulsaro_zentra/Pulsaro_zentra.exe")), oldApp);
        EXPECT_EQ(listFolder(drive.onDrive("pulsaro")),
                  std::vector<std::string>{"pulsaro_zentra.exe"});
    }
}

}  // namespace
