// The updater against a hostile server and a full disk. Whatever happens, the installed
// application is the old file or the new one, whole; the message and the exit status say which;
// and no transient or temporary file is left in the install tree.

#include "ftp_server.h"
#include "host_faults.h"
#include "hostile_support.h"
#include "pause_clock.h"
#include "temp_drive.h"
#include "update_fixtures.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace fs = std::filesystem;
using namespace pulsaro;
using namespace pulsaro::test;

namespace {

struct UpdateRun {
    int exitStatus;
    std::vector<std::string> messages;
};

UpdateRun runUpdater(const std::string& url) {
    RecordingMessageBox box;
    const int status = runUpdaterAgainst(url);
    return {status, box.messages};
}

void expectOldApplicationKept(const TempDrive& t, const std::string& oldApp, const UpdateRun& run) {
    EXPECT_EQ(run.exitStatus, 1);
    EXPECT_EQ(run.messages, said(texts::kNotUpdated));
    EXPECT_TRUE(readFile(t.onDrive("pulsaro_zentra/Pulsaro_zentra.exe")) == oldApp)
        << "the installed application changed";
    EXPECT_EQ(listFolder(t.onDrive("pulsaro_zentra")),
              (std::vector<std::string>{"Pulsaro_zentra.exe", "QUORVIN", "_Pulsaro"}));
    EXPECT_EQ(listFolder(t.onDrive("pulsaro_zentra/_Pulsaro")),
              std::vector<std::string>{"pulsaro_zentra_update.exe"});
}

struct ServerFault {
    const char* description;
    FtpFaults faults;
    bool updates;
};

// Every size a server states must hold, however it states it; only a server that states none
// has its bytes taken as they came.
const ServerFault kServerFaults[] = {
    {"no fault: the same run updates", {}, true},
    {"the server sends more bytes than it announced", {.sizeDelta = -1000}, false},
    {"SIZE refused, the opening reply states the size, the transfer is cut and reported complete",
     {.announceNoSize = true, .openingSizeDelta = 0, .cutAfterBytes = 300000},
     false},
    {"a SIZE reply with trailing blanks, the transfer cut and reported complete",
     {.sizeReply = "213 %d \t", .cutAfterBytes = 300000},
     false},
    {"a SIZE reply with trailing blanks, the whole file sent", {.sizeReply = "213 %d \t"}, true},
    {"SIZE refused, the opening reply states more than is sent",
     {.announceNoSize = true, .openingSizeDelta = 1000},
     false},
    {"SIZE refused, the opening reply states less than is sent",
     {.announceNoSize = true, .openingSizeDelta = -1000},
     false},
    {"the opening reply and SIZE disagree", {.openingSizeDelta = 1}, false},
    {"the file grows while it is sent", {.openingSizeDelta = 0, .growWhileSending = 1000}, false},
    {"a SIZE reply whose number cannot be read", {.sizeReply = "213 about %d bytes"}, false},
    {"a greeting line longer than 64 KiB", {.longReplyAt = "BANNER"}, false},
    {"a login reply line longer than 64 KiB", {.longReplyAt = "PASS"}, false},
    {"a size reply line longer than 64 KiB", {.longReplyAt = "SIZE"}, false},
    {"a transfer reply line longer than 64 KiB", {.longReplyAt = "RETR"}, false},
};

TEST(UpdaterFaults, AHostileServerNeverCostsTheInstalledApplication) {
    for (const ServerFault& fault : kServerFaults) {
        SCOPED_TRACE(fault.description);
        TempDrive t;
        const std::string oldApp = patternBytes(300000, 1);
        const std::string newApp = patternBytes(1 << 20, 2);
        installForUpdate(t, oldApp);
        FtpServer server(fault.faults);
        server.putFile(kRemoteApp, newApp);
        CapturedDiagnostics diagnostics;

        const UpdateRun run = runUpdater(server.url());

        if (fault.updates) {
            EXPECT_EQ(run.exitStatus, 0);
            EXPECT_EQ(run.messages, said(texts::kUpdated));
            EXPECT_TRUE(readFile(t.onDrive("pulsaro_zentra/Pulsaro_zentra.exe")) == newApp);
        } else {
            expectOldApplicationKept(t, oldApp, run);
        }
        EXPECT_EQ(leftoverTemporaries(t.drive()), std::vector<std::string>{});
    }
}

// The drive on a small tmpfs holding the installed application: first too small for the
// download, then large enough for the download but not for its staged copy.
TEST(UpdaterFaults, AFullDiskNeverCostsTheInstalledApplication) {
    struct Case {
        const char* description;
        std::size_t tmpfsKiB;
        const char* failedStep;
    };
    const Case cases[] = {
        {"the download does not fit", 768, "pulsaronew_zentra.exe"},
        {"the staged copy does not fit", 1536, "FileCopy"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.description);
        TempDrive t;
        TmpfsMount tmpfs;
        const std::string refused = tmpfs.mount(t.drive(), c.tmpfsKiB);
        if (!refused.empty()) {
            GTEST_SKIP() << "cannot mount a small tmpfs as the drive (" << refused
                         << "); the disk-full faults need root with CAP_SYS_ADMIN";
        }
        const std::string oldApp = patternBytes(300000, 3);
        installForUpdate(t, oldApp);
        FtpServer server;
        server.putFile(kRemoteApp, patternBytes(700 << 10, 4));
        CapturedDiagnostics diagnostics;

        const UpdateRun run = runUpdater(server.url());

        expectOldApplicationKept(t, oldApp, run);
        EXPECT_TRUE(anyLineHolds(diagnostics.lines, {c.failedStep, "No space left on device"}));
        EXPECT_EQ(leftoverTemporaries(t.drive()), std::vector<std::string>{});
    }
}

}  // namespace
