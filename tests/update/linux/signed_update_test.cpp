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
// The step that checks the signature, as a trace names it.
const std::string kCheckStep =
    R"(pulsaro_update: CheckSignature "c:\pulsaro_zentra\_pulsaro\pulsaronew_zentra.exe")";

// What a run says on standard error by default, its own lines only: for a refused update the one
// line that says why, then the message; for an installed one the message alone.
std::vector<std::string> saidByDefault(const SignedUpdateCase& c) {
    const std::string title(texts::kUpdateTitle);
    if (c.installs()) return {title + ": " + std::string(texts::kUpdated)};
    return {refusalLine(c), title + ": " + std::string(texts::kNotUpdated)};
}

// Every case at once, each with a drive and a server of its own, so that the cases that wait out
// the request time-out share one wait; the first case and the first refused one run a second
// time traced.
TEST(SignedUpdater, InstallsOnlyWhatOneOfItsKeysSigned) {
    const std::vector<SignedUpdateCase>& cases = signedUpdateCases();
    struct Run {
        const SignedUpdateCase& c;
        bool traced;
    };
    std::vector<Run> runs;
    for (const SignedUpdateCase& c : cases) runs.push_back({c, false});
    runs.push_back({cases.front(), true});
    runs.push_back(
        {*std::ranges::find_if(cases, [](const auto& c) { return !c.installs(); }), true});

    const std::string oldApp = patternBytes(300000, 61);
    const std::string newApp = patternBytes(2 << 20, 62);
    TempDrives drives(runs.size());
    std::vector<std::unique_ptr<FtpServer>> servers;
    std::vector<pid_t> pids;
    for (std::size_t i = 0; i < runs.size(); ++i) {
        installForUpdate(drives[i], oldApp, kOutsideCopy, kSignedUpdater);
        servers.push_back(std::make_unique<FtpServer>(runs[i].c.faults));
        serveSignedUpdate(*servers[i], runs[i].c, newApp);
        const ScopedEnv trace("PULSARO_TRACE",
                              runs[i].traced ? std::optional<std::string>("1") : std::nullopt);
        pids.push_back(startInstalledUpdater(drives[i].drive(), servers[i]->url(),
                                             {.standardError = standardErrorOf(drives[i])}));
    }
    for (std::size_t i = 0; i < runs.size(); ++i) {
        const SignedUpdateCase& c = runs[i].c;
        SCOPED_TRACE(std::string(c.name) + (runs[i].traced ? ", traced" : ""));
        const std::optional<int> status = waitForEnd(pids[i], 150s);
        ASSERT_TRUE(status.has_value()) << "the updater did not end";
        std::vector<std::string> told = linesOf(standardErrorOf(drives[i]));
        std::erase_if(told, [](const auto& line) { return !line.starts_with("pulsaro_update: "); });
        if (runs[i].traced) {
            const std::string outcome = c.installs() ? ": done" : std::string(": failed: ") + c.why;
            EXPECT_EQ(
                std::ranges::count_if(
                    told, [&](const auto& line) { return line.starts_with(kCheckStep + outcome); }),
                1)
                << testing::PrintToString(told);
        } else {
            const std::vector<std::string> expected = saidByDefault(c);
            EXPECT_EQ(told.size(), expected.size()) << testing::PrintToString(told);
            for (std::size_t line = 0; line < std::min(told.size(), expected.size()); ++line) {
                EXPECT_TRUE(told[line].starts_with(expected[line])) << told[line];
            }
        }
        expectSignedUpdateOutcome(c, WIFEXITED(*status) ? WEXITSTATUS(*status) : -1,
                                  testing::PrintToString(told), drives[i], *servers[i], oldApp,
                                  newApp);
    }
}

// Built without keys, the updater installs as it always has and never asks for a signature.
TEST(UnsignedUpdater, NeverAsksForASignature) {
    TempDrive t;
    installForUpdate(t, "old application", kOutsideCopy, builtUpdater());
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
