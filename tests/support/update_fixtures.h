#pragma once

// What in-process tests of the updater share. Only for tests that link the updater's window.

#include "pause_clock.h"
#include "process_support.h"
#include "signed_updates.h"
#include "temp_drive.h"
#include "texts.h"
#include "updater_window.h"

#include <QCoreApplication>

#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace pulsaro::test {

// Where the product's server keeps the application: written out, not taken from the updater, so
// an updater that asks for another file fails the tests.
inline constexpr const char* kRemoteApp =
    "/pulsarozentra.example/mdb-database/_pulsaro/pulsaro_zentra.exe";

// A clock on which waiting takes no real time: each wait handles pending events and moves the
// clock to the end of the wait, so the updater's five-second pause costs nothing.
class InstantClock final : public PauseClock {
  public:
    InstantClock() : previous_(setPauseClock(this)) {}
    ~InstantClock() override { setPauseClock(previous_); }
    double now() override { return now_; }
    void waitForEvents(std::chrono::milliseconds maxWait) override {
        ++waits;
        QCoreApplication::processEvents();
        now_ += std::chrono::duration<double>(maxWait).count();
    }
    int waits = 0;

  private:
    double now_ = 0;
    PauseClock* previous_;
};

// The message a run ends with, as the recorder holds it.
inline std::vector<std::string> said(std::string_view message) {
    return {std::string(message)};
}

inline constexpr const char* kOutsideCopy = "outside copy";

// The tree as the setup leaves it, with the application in the spelling the setup uses, when
// given a copy of it outside the install root, and in the updater's place the program named or,
// for the updater run in the test's own process, a stand-in file.
inline void installForUpdate(const TempDrive& t, const std::string& app,
                             const std::optional<std::string>& outsideCopy = std::nullopt,
                             const std::filesystem::path& updater = {}) {
    std::filesystem::create_directories(t.onDrive("pulsaro_zentra/QUORVIN"));
    std::filesystem::create_directories(t.onDrive("pulsaro_zentra/_Pulsaro"));
    writeFile(t.onDrive("pulsaro_zentra/Pulsaro_zentra.exe"), app);
    const std::filesystem::path updaterPlace =
        t.onDrive("pulsaro_zentra/_Pulsaro/pulsaro_zentra_update.exe");
    if (updater.empty()) {
        writeFile(updaterPlace, "updater");
    } else {
        std::filesystem::copy_file(updater, updaterPlace,
                                   std::filesystem::copy_options::overwrite_existing);
    }
    if (outsideCopy) {
        std::filesystem::create_directories(t.onDrive("pulsaro"));
        writeFile(t.onDrive("pulsaro/pulsaro_zentra.exe"), *outsideCopy);
    }
}

// Where a test sends the standard error of the updater it starts on a drive.
inline std::filesystem::path standardErrorOf(const TempDrive& t) {
    return t.base() / "stderr.txt";
}

// The tree after a run that installed `app`, or kept the old one: nothing else is left, and the
// copy outside the install root goes only once the new application is in place.
inline void expectTreeAfterRun(const TempDrive& t, const std::string& app, bool updated) {
    EXPECT_TRUE(readFile(t.onDrive("pulsaro_zentra/Pulsaro_zentra.exe")) == app)
        << "the installed application is not the one expected";
    EXPECT_EQ(listFolder(t.onDrive("pulsaro_zentra")),
              (std::vector<std::string>{"Pulsaro_zentra.exe", "QUORVIN", "_Pulsaro"}));
    EXPECT_EQ(listFolder(t.onDrive("pulsaro_zentra/_Pulsaro")),
              std::vector<std::string>{"pulsaro_zentra_update.exe"});
    EXPECT_EQ(
        listFolder(t.onDrive("pulsaro")),
        updated ? std::vector<std::string>{} : std::vector<std::string>{"pulsaro_zentra.exe"});
}

// What a run of an updater built with the test-only keys leaves: its exit status, the tree with
// the new application or the old one and the copy outside the install root, and the signature
// asked for.
inline void expectSignedUpdateOutcome(const SignedUpdateCase& c, int exitCode,
                                      const std::string& output, const TempDrive& t,
                                      const FtpServer& server, const std::string& oldApp,
                                      const std::string& newApp) {
    EXPECT_EQ(exitCode, c.installs() ? 0 : 1) << output;
    if (!c.installs()) {
        const std::filesystem::path outside = t.onDrive("pulsaro/pulsaro_zentra.exe");
        EXPECT_TRUE(std::filesystem::exists(outside) && readFile(outside) == kOutsideCopy);
    }
    expectTreeAfterRun(t, c.installs() ? newApp : oldApp, c.installs());
    EXPECT_TRUE(askedForTheSignature(server));
}

// Runs the whole updater in this process against a server, on the current drive, without the
// pause; returns its exit status.
inline int runUpdaterAgainst(const std::string& url) {
    ScopedEnv server("PULSARO_UPDATE_URL", url);
    InstantClock clock;
    UpdaterWindow window;
    window.form.Form_Load();
    return window.form.exitStatus;
}

}  // namespace pulsaro::test
