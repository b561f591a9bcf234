// The Windows updater from its install folder against the fixture FTP server: the server up and
// failing in each way a download can fail, and asked for its help and version.

#include "about.h"
#include "ftp_server.h"
#include "signed_updates.h"
#include "texts.h"
#include "windows_updater.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

namespace fs = std::filesystem;
using namespace pulsaro;
using namespace pulsaro::test;
using namespace std::chrono_literals;

namespace {

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
        server.putFile(texts::kRemoteSignature, "a signature no one asks for");
    }
    ClosedPort closedPort;

    const std::optional<AnsweredRun> answered =
        runAndAnswer(updater, c.serverListening ? server.url() : closedPort.url(), c.untilMessage);
    ASSERT_TRUE(answered.has_value());

    expectShown(*answered, c.updates ? texts::kUpdated : texts::kNotUpdated);
    EXPECT_EQ(answered->run.exitCode, c.updates ? 0 : 1) << answered->run.output;
    EXPECT_FALSE(askedForTheSignature(server)) << "an updater built without keys";
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
