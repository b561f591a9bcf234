// The updater against a hostile server, a full disk and an installed application it cannot
// replace. Whatever happens, the installed application is the old file or the new one, whole; the
// copy outside the install root goes only once the new one is installed; the message and the exit
// status say which; and no transient or temporary file is left in the install tree.

#include "ftp_server.h"
#include "host_faults.h"
#include "hostile_support.h"
#include "pause_clock.h"
#include "temp_drive.h"
#include "update_fixtures.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <functional>
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

// The run failed and said so; the install tree, with the copy outside the install root, is
// exactly as it was.
void expectOldApplicationKept(const TempDrive& t, const std::string& oldApp, const UpdateRun& run) {
    EXPECT_EQ(run.exitStatus, 1);
    EXPECT_EQ(run.messages, said(texts::kNotUpdated));
    expectTreeAfterRun(t, oldApp, false);
    const fs::path outside = t.onDrive("pulsaro/pulsaro_zentra.exe");
    EXPECT_TRUE(fs::exists(outside) && readFile(outside) == kOutsideCopy);
}

struct ServerFault {
    const char* description;
    FtpFaults faults;
    bool updates;
    std::size_t remoteBytes = 1 << 20;
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
    {"an empty file, downloaded whole, is no application", {}, false, 0},
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
        const std::string newApp = patternBytes(fault.remoteBytes, 2);
        installForUpdate(t, oldApp, kOutsideCopy);
        FtpServer server(fault.faults);
        server.putFile(kRemoteApp, newApp);
        CapturedDiagnostics diagnostics;

        const UpdateRun run = runUpdater(server.url());

        if (fault.updates) {
            EXPECT_EQ(run.exitStatus, 0);
            EXPECT_EQ(run.messages, said(texts::kUpdated));
            EXPECT_TRUE(readFile(t.onDrive("pulsaro_zentra/Pulsaro_zentra.exe")) == newApp);
            EXPECT_EQ(listFolder(t.onDrive("pulsaro")), std::vector<std::string>{});
        } else {
            expectOldApplicationKept(t, oldApp, run);
        }
        EXPECT_EQ(leftoverTemporaries(t.drive()), std::vector<std::string>{});
    }
}

struct Unreplaceable {
    const char* description;
    // Makes the installed application impossible to replace; a reason when the host refuses.
    std::function<std::string(const fs::path& installed, ImmutableFile& immutable)> make;
    bool fifo = false;
};

// The download and its staging succeed, the copy over the installed application does not: the
// copy outside the install root stays, and nothing waits on a FIFO at the application's name.
TEST(UpdaterFaults, AnApplicationThatCannotBeReplacedKeepsTheOutsideCopy) {
    const Unreplaceable cases[] = {
        {"read-only",
         [](const fs::path& installed, ImmutableFile&) {
             fs::permissions(installed, fs::perms(0444));
             return std::string();
         }},
        {"immutable", [](const fs::path& installed,
                         ImmutableFile& immutable) { return immutable.set(installed); }},
        {"a FIFO that cannot be written",
         [](const fs::path& installed, ImmutableFile&) {
             fs::remove(installed);
             makeFifo(installed, fs::perms(0444));
             return std::string();
         },
         true},
    };
    std::string notTried;
    for (const Unreplaceable& c : cases) {
        SCOPED_TRACE(c.description);
        TempDrive t;
        const std::string oldApp = patternBytes(300000, 5);
        installForUpdate(t, oldApp, kOutsideCopy);
        const fs::path installed = t.onDrive("pulsaro_zentra/Pulsaro_zentra.exe");
        ImmutableFile immutable;
        if (const std::string refused = c.make(installed, immutable); !refused.empty()) {
            notTried += std::string(c.description) + ": the host refused (" + refused + "). ";
            continue;
        }
        FtpServer server;
        server.putFile(kRemoteApp, patternBytes(1 << 20, 6));
        CapturedDiagnostics diagnostics;
        std::optional<FifoWatchdog> watchdog;
        if (c.fifo) watchdog.emplace(installed);

        const UpdateRun run = runUpdater(server.url());

        if (watchdog) {
            EXPECT_FALSE(watchdog->stop()) << "the updater waited on the FIFO";
        }
        EXPECT_EQ(run.exitStatus, 1);
        EXPECT_EQ(run.messages, said(texts::kNotUpdated));
        EXPECT_EQ(fs::is_fifo(installed), c.fifo);
        if (!c.fifo) {
            EXPECT_TRUE(readFile(installed) == oldApp);
        }
        const fs::path outside = t.onDrive("pulsaro/pulsaro_zentra.exe");
        EXPECT_TRUE(fs::exists(outside) && readFile(outside) == kOutsideCopy)
            << "the copy outside the install root is gone";
        EXPECT_EQ(listFolder(t.onDrive("pulsaro_zentra/_Pulsaro")),
                  std::vector<std::string>{"pulsaro_zentra_update.exe"});
        EXPECT_TRUE(anyLineHolds(diagnostics.lines, {"could not copy", "pulsaro_zentra.exe"}));
    }
    if (!notTried.empty()) {
        GTEST_SKIP() << "not tried: " << notTried
                     << "The immutable flag needs root (CAP_LINUX_IMMUTABLE) and a file system "
                        "that has it.";
    }
}

// An earlier run killed part-way left its download and its staging copy behind, named after a
// process number that a live process (this one) now has: the next run takes them away all the
// same.
TEST(UpdaterFaults, LeftoversOfAKilledRunGoWhicheverProcessNowHasTheirNumber) {
    TempDrive t;
    installForUpdate(t, patternBytes(300000, 7));
    const std::string live = std::to_string(::getpid());
    const fs::path staging = t.onDrive("pulsaro_zentra/_Pulsaro");
    writeFile(staging / (".pulsaronew_zentra.exe.partial-" + live + "-d1"), "part of a download");
    writeFile(staging / (".pulsaro_zentra.exe.partial-" + live + "-1"), "part of a copy");
    const std::string newApp = patternBytes(1 << 20, 8);
    FtpServer server;
    server.putFile(kRemoteApp, newApp);
    CapturedDiagnostics diagnostics;

    const UpdateRun run = runUpdater(server.url());

    EXPECT_EQ(run.exitStatus, 0);
    EXPECT_EQ(run.messages, said(texts::kUpdated));
    EXPECT_TRUE(readFile(t.onDrive("pulsaro_zentra/Pulsaro_zentra.exe")) == newApp);
    EXPECT_EQ(listFolder(staging), std::vector<std::string>{"pulsaro_zentra_update.exe"});
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
        {"the staged copy does not fit", 1536, "could not copy"},
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
        installForUpdate(t, oldApp, kOutsideCopy);
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
