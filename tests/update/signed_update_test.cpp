// The updater built with the test-only keys, run as users start it (without a display, so its
// message goes to standard error), against servers holding updates signed well, signed badly or
// not at all; and the updater built without keys, which never asks for a signature.

#include "ftp_server.h"
#include "process_support.h"
#include "signed_updates.h"
#include "temp_drive.h"
#include "texts.h"
#include "update_fixtures.h"

#include <gtest/gtest.h>

#include <sys/wait.h>

#include <algorithm>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace fs = std::filesystem;
using namespace pulsaro;
using namespace pulsaro::test;
using namespace std::chrono_literals;

namespace {

const fs::path kSignedUpdater = PULSARO_SIGNED_UPDATER;
constexpr const char* kOutsideCopy = "outside copy";

// The tree as the setup leaves it, with a copy of the application outside the install root; the
// updater is put in place when it is started.
void installOld(const TempDrive& t, const std::string& oldApp) {
    fs::create_directories(t.onDrive("pulsaro_zentra/QUORVIN"));
    fs::create_directories(t.onDrive("pulsaro_zentra/_Pulsaro"));
    fs::create_directories(t.onDrive("pulsaro"));
    writeFile(t.onDrive("pulsaro_zentra/Pulsaro_zentra.exe"), oldApp);
    writeFile(t.onDrive("pulsaro/pulsaro_zentra.exe"), kOutsideCopy);
}

fs::path standardErrorOf(const TempDrive& t) {
    return t.base() / "stderr.txt";
}

bool anyLineHolds(const std::vector<std::string>& lines, const std::string& piece) {
    return std::ranges::any_of(
        lines, [&](const std::string& line) { return line.find(piece) != std::string::npos; });
}

// Every case at once, each with a drive and a server of its own: the stalled signature makes its
// run wait out the request time-out.
TEST(SignedUpdater, InstallsOnlyWhatOneOfItsKeysSigned) {
    const std::vector<SignedUpdateCase>& cases = signedUpdateCases();
    const std::string oldApp = patternBytes(300000, 61);
    const std::string newApp = patternBytes(2 << 20, 62);
    TempDrives drives(cases.size());
    std::vector<std::unique_ptr<FtpServer>> servers;
    std::vector<pid_t> pids;
    for (std::size_t i = 0; i < cases.size(); ++i) {
        installOld(drives[i], oldApp);
        servers.push_back(std::make_unique<FtpServer>(cases[i].faults));
        serveSignedUpdate(*servers[i], cases[i], newApp);
        pids.push_back(startInstalledUpdater(
            drives[i].drive(), servers[i]->url(),
            {.standardError = standardErrorOf(drives[i]), .program = kSignedUpdater}));
    }
    for (std::size_t i = 0; i < cases.size(); ++i) {
        const SignedUpdateCase& c = cases[i];
        SCOPED_TRACE(c.name);
        const std::optional<int> status = waitForEnd(pids[i], 150s);
        ASSERT_TRUE(status.has_value()) << "the updater did not end";
        EXPECT_EQ(WIFEXITED(*status) ? WEXITSTATUS(*status) : -1, c.installs() ? 0 : 1);
        const std::vector<std::string> told = linesOf(standardErrorOf(drives[i]));
        const std::string message(c.installs() ? texts::kUpdated : texts::kNotUpdated);
        EXPECT_EQ(std::ranges::count(told, std::string(texts::kUpdateTitle) + ": " + message), 1);
        if (!c.installs()) {
            EXPECT_TRUE(anyLineHolds(told, std::string(": ") + c.why))
                << testing::PrintToString(told);
            EXPECT_EQ(readFile(drives[i].onDrive("pulsaro/pulsaro_zentra.exe")), kOutsideCopy);
        }
        expectTreeAfterRun(drives[i], c.installs() ? newApp : oldApp, c.installs());
        EXPECT_TRUE(askedForTheSignature(*servers[i]));
    }
}

// Built without keys, the updater installs as it always has and never asks for a signature.
TEST(UnsignedUpdater, NeverAsksForASignature) {
    TempDrive t;
    installOld(t, "old application");
    FtpServer server;
    const std::string newApp = patternBytes(100000, 63);
    serveSignedUpdate(server, signedUpdateCases().front(), newApp);

    const pid_t pid =
        startInstalledUpdater(t.drive(), server.url(), {.standardError = standardErrorOf(t)});
    const std::optional<int> status = waitForEnd(pid);

    ASSERT_TRUE(status.has_value()) << "the updater did not end";
    EXPECT_EQ(WIFEXITED(*status) ? WEXITSTATUS(*status) : -1, 0);
    expectTreeAfterRun(t, newApp, true);
    EXPECT_FALSE(askedForTheSignature(server)) << testing::PrintToString(server.commandsReceived());
}

// --version names each key by the fingerprint the documentation tells a vendor to compute.
TEST(SignedUpdater, VersionNamesEachKeyByItsFingerprint) {
    const Finished run = runToEnd(kSignedUpdater, {"--version"});
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(run.output, signedUpdaterVersion());
}

}  // namespace
