#include "ftp_server.h"
#include "host.h"
#include "pause_clock.h"
#include "temp_drive.h"
#include "update_fixtures.h"

#include <QTimer>

#include <gtest/gtest.h>

#include <filesystem>

namespace fs = std::filesystem;
using namespace pulsaro;
using namespace pulsaro::test;

namespace {

// An installation as the setup leaves it, plus the copy outside the install root.
struct Installed {
    std::string app = patternBytes(200000, 7);
    std::string outside = "outside copy";
};

void install(const TempDrive& t, const Installed& old) {
    installForUpdate(t, old.app, old.outside);
}

TEST(UpdateSequence, AGoodRunReplacesTheInstalledApplication) {
    TempDrive t;
    Installed old;
    install(t, old);
    writeFile(t.onDrive("pulsaro_zentra/_Pulsaro/pulsaronew_zentra.exe"), "stale download");
    writeFile(t.onDrive("pulsaro_zentra/_Pulsaro/pulsaro_zentra.exe"), "stale staged copy");
    const std::string fresh = patternBytes(3 << 20, 11);
    FtpServer server;
    server.putFile(kRemoteApp, fresh);
    RecordingMessageBox box;

    EXPECT_EQ(runUpdaterAgainst(server.url()), 0);
    EXPECT_EQ(listFolder(t.onDrive("pulsaro_zentra/_Pulsaro")),
              std::vector<std::string>{"pulsaro_zentra_update.exe"});
    EXPECT_EQ(listFolder(t.onDrive("pulsaro_zentra")),
              (std::vector<std::string>{"Pulsaro_zentra.exe", "QUORVIN", "_Pulsaro"}))
        << "the file the setup installed is the one rewritten";
    EXPECT_EQ(readFile(t.onDrive("pulsaro_zentra/Pulsaro_zentra.exe")), fresh);
    EXPECT_TRUE(listFolder(t.onDrive("pulsaro")).empty());
    EXPECT_EQ(box.messages, said(texts::kUpdated));
    EXPECT_EQ(box.captions, said("pulsaro_update"));
}

TEST(UpdateSequence, ARunWithNothingToDeleteStillInstalls) {
    TempDrive t;
    fs::create_directories(t.onDrive("pulsaro_zentra/_pulsaro"));
    const std::string fresh = patternBytes(1000, 12);
    FtpServer server;
    server.putFile(kRemoteApp, fresh);
    RecordingMessageBox box;
    CapturedDiagnostics diagnostics;

    EXPECT_EQ(runUpdaterAgainst(server.url()), 0);
    EXPECT_EQ(readFile(t.onDrive("pulsaro_zentra/pulsaro_zentra.exe")), fresh);
    EXPECT_TRUE(listFolder(t.onDrive("pulsaro_zentra/_pulsaro")).empty());
    EXPECT_EQ(box.messages, said(texts::kUpdated));
    EXPECT_EQ(diagnostics.lines, std::vector<std::string>{})
        << "deleting files that are not there leaves nothing undone";
}

struct FailedUpdate {
    const char* name;
    FtpFaults faults;
    bool remoteFileMissing = false;
    bool nothingListening = false;
};

TEST(UpdateSequence, AFailedDownloadLeavesEverythingAsItWasAndSaysSo) {
    FtpFaults refused;
    refused.refuseLogin = true;
    FtpFaults cut;
    cut.dropAfterBytes = 100000;
    const FailedUpdate cases[] = {
        {"unreachable server", {}, false, true},
        {"refused login", refused},
        {"missing remote file", {}, true},
        {"transfer cut part-way", cut},
    };
    for (const FailedUpdate& c : cases) {
        TempDrive t;
        Installed old;
        install(t, old);
        FtpServer server(c.faults);
        if (!c.remoteFileMissing) server.putFile(kRemoteApp, patternBytes(1 << 20, 13));
        ClosedPort closedPort;
        RecordingMessageBox box;
        CapturedDiagnostics diagnostics;

        EXPECT_EQ(runUpdaterAgainst(c.nothingListening ? closedPort.url() : server.url()), 1)
            << c.name;
        EXPECT_EQ(readFile(t.onDrive("pulsaro_zentra/Pulsaro_zentra.exe")), old.app) << c.name;
        EXPECT_EQ(readFile(t.onDrive("pulsaro/pulsaro_zentra.exe")), old.outside) << c.name;
        EXPECT_EQ(listFolder(t.onDrive("pulsaro_zentra/_Pulsaro")),
                  std::vector<std::string>{"pulsaro_zentra_update.exe"})
            << c.name;
        EXPECT_EQ(box.messages, said(texts::kNotUpdated)) << c.name;
        ASSERT_FALSE(diagnostics.lines.empty()) << c.name << ": the failed steps are reported";
        EXPECT_EQ(diagnostics.lines[0].rfind("pulsaro_update: could not download ", 0), 0u)
            << diagnostics.lines[0];
    }
}

// The pause starts the run: on a clock that only moves when waited on, the five seconds are all
// spent waiting, and events are handled meanwhile.
TEST(PausaTempo, WaitsOnTheClockAndHandlesEventsMeanwhile) {
    InstantClock clock;
    bool handled = false;
    QTimer::singleShot(0, [&] { handled = true; });
    UpdaterWindow window;
    const double start = clock.now();
    window.form.PausaTempo(5);
    EXPECT_DOUBLE_EQ(clock.now() - start, 5.0);
    EXPECT_GT(clock.waits, 0);
    EXPECT_TRUE(handled);
}

// On the host's own clock the pause never ends early.
TEST(PausaTempo, NeverReturnsBeforeItsDuration) {
    UpdaterWindow window;
    const auto start = std::chrono::steady_clock::now();
    window.form.PausaTempo(0.3);
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(300));
}

}  // namespace
