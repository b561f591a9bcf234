#pragma once

// The Windows updater as users get it, run under Wine from its place in the install tree against
// the fixture FTP server, on a private X display: the message it shows (read from its window),
// the key press that answers it, its exit status and what it leaves on the drive.

#include "process_support.h"
#include "temp_drive.h"
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

namespace pulsaro::test {

inline const std::filesystem::path kWindowsBuild = PULSARO_WINDOWS_BUILD_DIR;

// A run of the updater to its end: what its message box said (window_probe's listing of it) and
// how the program ended, with what it wrote.
struct AnsweredRun {
    std::string shown;
    ProgramRun run;
};

// A drive and an X display of one updater run, so that runs can go at once, each on its own.
struct UpdaterSeat {
    XvfbDisplay x;
    TempDrive drive;
};

class WindowsUpdater : public WinePrefixTest {
  protected:
    // The tree as the setup leaves it on the seat's drive, with the updater (the distribution's,
    // unless another is named) in its place.
    static std::filesystem::path install(
        const UpdaterSeat& seat, const std::string& app,
        const std::filesystem::path& program = kWindowsBuild / "dist/pulsaro_zentra_update.exe") {
        installForUpdate(seat.drive, app, kOutsideCopy, program);
        return seat.drive.onDrive("pulsaro_zentra/_Pulsaro/pulsaro_zentra_update.exe");
    }
    std::filesystem::path install(const std::string& app) const { return install(ownSeat, app); }

    static std::vector<std::string> environment(const UpdaterSeat& seat, const std::string& url) {
        return {"DISPLAY=" + seat.x.display(), "PULSARO_DRIVE_C=" + windowsPath(seat.drive.drive()),
                "PULSARO_UPDATE_URL=" + url};
    }
    std::vector<std::string> environment(const std::string& url) const {
        return environment(ownSeat, url);
    }

    // Starts the updater installed on the seat's drive against url; it may run until untilMessage
    // and one more minute, for its message to be answered.
    std::future<ProgramRun> start(const UpdaterSeat& seat, const std::filesystem::path& updater,
                                  const std::string& url, std::chrono::seconds untilMessage) const {
        using namespace std::chrono_literals;
        return std::async(std::launch::async,
                          [this, arguments = std::vector<std::string>{updater.string()},
                           environment = environment(seat, url), limit = untilMessage + 60s] {
                              return wine(arguments, environment, limit);
                          });
    }

    // Reads the message box of the started updater and answers it with Enter; nothing, the
    // failure recorded, when no box appears within untilMessage or it does not take the key. An
    // X key reaches only Wine's foreground window, one for all its processes: with other runs
    // at once, the key is pressed from inside Wine, the box first made the foreground one.
    std::optional<AnsweredRun> answer(const UpdaterSeat& seat, const std::filesystem::path& updater,
                                      std::future<ProgramRun>& running,
                                      std::chrono::seconds untilMessage,
                                      bool otherRunsAtOnce = false) const {
        using namespace std::chrono_literals;
        const std::string box = seat.x.waitForWindow("pulsaro_update", untilMessage);
        if (box.empty()) {
            ADD_FAILURE() << "no message box appeared";
            return std::nullopt;
        }
        const std::string probe = (kWindowsBuild / "tests/window_probe.exe").string();
        const std::string program = windowsPath(updater);
        auto pressEnter = [&] {
            if (otherRunsAtOnce) {
                wine({probe, "--answer", "pulsaro_update", program},
                     {"DISPLAY=" + seat.x.display()});
            } else {
                seat.x.xdotool({"key", "--window", box, "Return"});
            }
        };
        AnsweredRun answered;
        answered.shown =
            wine({probe, "pulsaro_update", program}, {"DISPLAY=" + seat.x.display()}).output;
        for (int attempt = 0; attempt < 40; ++attempt) {
            pressEnter();
            if (running.wait_for(500ms) == std::future_status::ready) {
                answered.run = running.get();
                return answered;
            }
        }
        ADD_FAILURE() << "the message box did not take the key press";
        return std::nullopt;
    }

    // Runs the updater installed on the fixture's own drive against url and answers its message.
    std::optional<AnsweredRun> runAndAnswer(const std::filesystem::path& updater,
                                            const std::string& url,
                                            std::chrono::seconds untilMessage) const {
        std::future<ProgramRun> running = start(ownSeat, updater, url, untilMessage);
        return answer(ownSeat, updater, running, untilMessage);
    }

    // The box showed exactly this message and one button.
    static void expectShown(const AnsweredRun& answered, std::string_view message) {
        EXPECT_EQ(probedParts(answered.shown),
                  (std::vector<std::string>{"Button\tOK", "Static\t" + std::string(message)}))
            << "the message, one OK button and nothing else";
    }

    // The drive and display of the tests that run one updater at a time.
    UpdaterSeat ownSeat;
    const XvfbDisplay& x = ownSeat.x;
    const TempDrive& drive = ownSeat.drive;
};

}  // namespace pulsaro::test
