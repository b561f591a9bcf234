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
    FtpFaults faults{};
    bool remoteFileMissing = false;
    bool nothingListening = false;
    // The PULSARO_UPDATE_URL given instead of the server's, made from the server's.
    std::string (*urlInstead)(const std::string& serverUrl) = nullptr;
};

std::string noUrl(const std::string&) {
    return "not a url";
}
std::string portOutOfRange(const std::string&) {
    return "ftp://127.0.0.1:99999";
}
std::string unclosedAddress(const std::string&) {
    return "ftp://[::1";
}
std::string notFtp(const std::string& serverUrl) {
    return "http" + serverUrl.substr(std::string("ftp").size());
}

TEST(UpdateSequence, AFailedDownloadLeavesEverythingAsItWasAndSaysSo) {
    const FailedUpdate cases[] = {
        {.name = "unreachable server", .nothingListening = true},
        {.name = "refused login", .faults = {.refuseLogin = true}},
        {.name = "missing remote file", .remoteFileMissing = true},
        {.name = "transfer cut part-way", .faults = {.dropAfterBytes = 100000}},
        {.name = "PULSARO_UPDATE_URL no URL", .urlInstead = noUrl},
        {.name = "PULSARO_UPDATE_URL with a port out of range", .urlInstead = portOutOfRange},
        {.name = "PULSARO_UPDATE_URL with an unclosed address", .urlInstead = unclosedAddress},
        {.name = "PULSARO_UPDATE_URL naming the server, but not by FTP", .urlInstead = notFtp},
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
        std::string url = c.nothingListening ? closedPort.url() : server.url();
        if (c.urlInstead) url = c.urlInstead(url);

        EXPECT_EQ(runUpdaterAgainst(url), 1) << c.name;
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

// Asked for no server, the updater asks the product's own. The tree has no staging folder, so
// the transfer component refuses the request before it looks the server's name up: the test never
// leaves this machine.
TEST(UpdateSequence, WithNoServerNamedTheProductsOwnIsAsked) {
    TempDrive t;
    fs::create_directories(t.onDrive("pulsaro_zentra"));
    writeFile(t.onDrive("pulsaro_zentra/Pulsaro_zentra.exe"), "old application");
    const ScopedEnv noServer("PULSARO_UPDATE_URL", std::nullopt);
    InstantClock clock;
    RecordingMessageBox box;
    CapturedDiagnostics diagnostics;
    UpdaterWindow window;

    window.form.Form_Load();

    EXPECT_EQ(window.form.Inet1.URL(), "FTP://ftp.pulsarozentra.example");
    EXPECT_EQ(window.form.exitStatus, 1);
    EXPECT_EQ(box.messages, said(texts::kNotUpdated));
    EXPECT_EQ(listFolder(t.onDrive("pulsaro_zentra")),
              std::vector<std::string>{"Pulsaro_zentra.exe"});
    EXPECT_EQ(readFile(t.onDrive("pulsaro_zentra/Pulsaro_zentra.exe")), "old application");
}

// On the host's own clock the pause never ends early, and events are handled meanwhile.
TEST(PausaTempo, LastsItsDurationAndHandlesEventsMeanwhile) {
    UpdaterWindow window;
    bool handled = false;
    QTimer::singleShot(0, [&] { handled = true; });
    const auto start = std::chrono::steady_clock::now();
    window.form.PausaTempo(0.3);
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(300));
    EXPECT_TRUE(handled) << "no event was handled during the pause";
}

}  // namespace
