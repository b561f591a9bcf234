// The Windows updater built with the test-only keys, under Wine, against the servers the Linux
// updater meets in the same table (signed_updates.h): the message it shows, its exit status, why
// its diagnostic says it refused, and what it leaves on the drive.

#include "ftp_server.h"
#include "hermetic.h"
#include "process_support.h"
#include "signed_updates.h"
#include "texts.h"
#include "windows_updater.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <future>
#include <memory>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;
using namespace pulsaro;
using namespace pulsaro::test;
using namespace std::chrono_literals;

namespace {

const fs::path kSignedUpdater =
    kWindowsBuild / "tests/update/signed_updater/pulsaro_zentra_update.exe";

// Every case at once, each on a drive and a display of its own against a server of its own, so
// that the cases that wait out the request time-out share one wait.
TEST_F(WindowsUpdater, SignedUpdaterInstallsOnlyWhatOneOfItsKeysSigned) {
    // The pause, the download and, for a signature that stalls or whose final reply never comes,
    // the request time-out of 60 s, with all cases running at once under Wine.
    constexpr std::chrono::seconds kUntilMessage = 180s;
    const std::vector<SignedUpdateCase>& cases = signedUpdateCases();
    const std::string oldApp = patternBytes(300000, 61);
    const std::string newApp = patternBytes(2 << 20, 62);
    std::vector<std::unique_ptr<UpdaterSeat>> seats;
    std::vector<std::unique_ptr<FtpServer>> servers;
    std::vector<fs::path> updaters;
    std::vector<std::future<ProgramRun>> runs;
    for (const SignedUpdateCase& c : cases) {
        seats.push_back(std::make_unique<UpdaterSeat>());
        ASSERT_TRUE(seats.back()->x.running()) << "Xvfb did not start";
        updaters.push_back(install(*seats.back(), oldApp, kSignedUpdater));
        servers.push_back(std::make_unique<FtpServer>(c.faults));
        serveSignedUpdate(*servers.back(), c, newApp);
    }
    for (std::size_t i = 0; i < cases.size(); ++i) {
        runs.push_back(start(*seats[i], updaters[i], servers[i]->url(), kUntilMessage));
    }
    for (std::size_t i = 0; i < cases.size(); ++i) {
        const SignedUpdateCase& c = cases[i];
        SCOPED_TRACE(c.name);
        const std::optional<AnsweredRun> answered =
            answer(*seats[i], updaters[i], runs[i], kUntilMessage, true);
        if (!answered) continue;

        expectShown(*answered, c.installs() ? texts::kUpdated : texts::kNotUpdated);
        if (!c.installs()) {
            EXPECT_NE(answered->run.output.find(refusalLine(c)), std::string::npos)
                << answered->run.output;
        }
        expectSignedUpdateOutcome(c, answered->run.exitCode, answered->run.output, seats[i]->drive,
                                  *servers[i], oldApp, newApp);
    }
}

TEST_F(WindowsUpdater, SignedUpdaterVersionNamesEachKeyByItsFingerprint) {
    ProgramRun run = wine({kSignedUpdater.string(), "--version"}, {}, 30s);
    EXPECT_EQ(run.exitCode, 0);
    std::erase(run.output, '\r');  // text written on Windows ends its lines in CR LF
    EXPECT_EQ(run.output, signedUpdaterVersion());
}

// Checking signatures brings in CNG's bcrypt.dll, which every Windows has since Vista: the
// programs still import nothing that a Windows machine lacks.
TEST(WindowsPrograms, ImportOnlySystemDlls) {
    const std::string objdump = toolPath("x86_64-w64-mingw32-objdump");
    ASSERT_FALSE(objdump.empty()) << "needs binutils-mingw-w64-x86-64";
    const std::set<std::string> system = {"advapi32.dll", "bcrypt.dll", "gdi32.dll",
                                          "kernel32.dll", "msvcrt.dll", "shell32.dll",
                                          "user32.dll",   "wininet.dll"};
    std::vector<fs::path> programs = {kSignedUpdater};
    for (const auto& entry : fs::directory_iterator(kWindowsBuild / "dist")) {
        const std::string extension = entry.path().extension().string();
        if (extension == ".exe" || extension == ".OCX") programs.push_back(entry.path());
    }
    ASSERT_GE(programs.size(), 7u) << "three programs, three controls and the keyed updater";
    for (const fs::path& program : programs) {
        const Finished dump = runToEnd(objdump, {"-p", program.string()});
        ASSERT_EQ(dump.exitCode, 0) << dump.output;
        std::istringstream lines(dump.output);
        int imported = 0;
        for (std::string line; std::getline(lines, line);) {
            const std::size_t name = line.find("DLL Name: ");
            if (name == std::string::npos) continue;
            const std::string dll = lowerCase(line.substr(name + 10));
            EXPECT_TRUE(system.contains(dll)) << program.filename() << " imports " << dll;
            ++imported;
        }
        EXPECT_GT(imported, 0) << program;
    }
}

}  // namespace
