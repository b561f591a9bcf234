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

class WindowsUpdater : public WinePrefixTest {
  protected:
    // The tree as the setup leaves it, with the updater (the distribution's, unless another is
    // named) in its place.
    std::filesystem::path install(const std::string& app,
                                  const std::filesystem::path& program =
                                      kWindowsBuild / "dist/pulsaro_zentra_update.exe") const {
        installForUpdate(drive, app, std::string("outside copy"));
        const std::filesystem::path updater =
            drive.onDrive("pulsaro_zentra/_Pulsaro/pulsaro_zentra_update.exe");
        std::filesystem::copy_file(program, updater,
                                   std::filesystem::copy_options::overwrite_existing);
        return updater;
    }
    std::vector<std::string> environment(const std::string& url) const {
        return {"DISPLAY=" + x.display(), "PULSARO_DRIVE_C=" + windowsPath(drive.drive()),
                "PULSARO_UPDATE_URL=" + url};
    }

    // Runs the installed updater against url, reads its message box and answers it with Enter;
    // nothing, the failure recorded, when no box appears or it does not take the key.
    std::optional<AnsweredRun> runAndAnswer(const std::filesystem::path& updater,
                                            const std::string& url) const {
        using namespace std::chrono_literals;
        auto running = std::async(std::launch::async,
                                  [&] { return wine({updater.string()}, environment(url), 150s); });
        const std::string box = x.waitForWindow("pulsaro_update", 120s);
        if (box.empty()) {
            ADD_FAILURE() << "no message box appeared";
            return std::nullopt;
        }
        AnsweredRun answered;
        answered.shown =
            wine({(kWindowsBuild / "tests/windows/window_probe.exe").string(), "pulsaro_update"},
                 {"DISPLAY=" + x.display()})
                .output;
        for (int attempt = 0; attempt < 40; ++attempt) {
            x.xdotool({"key", "--window", box, "Return"});
            if (running.wait_for(500ms) == std::future_status::ready) {
                answered.run = running.get();
                return answered;
            }
        }
        ADD_FAILURE() << "the message box did not take the key press";
        return std::nullopt;
    }

    // The box showed exactly this message and one button.
    static void expectShown(const AnsweredRun& answered, std::string_view message) {
        EXPECT_NE(answered.shown.find("Static\t" + std::string(message) + "\n"), std::string::npos)
            << answered.shown;
        EXPECT_EQ(answered.shown.find("Button\t"), answered.shown.rfind("Button\t"))
            << answered.shown;
    }

    XvfbDisplay x;
    TempDrive drive;
};

}  // namespace pulsaro::test
