// Asked on the command line for help (--help, -h, /?) or --version, each program answers and
// ends: no window, no update, no registration, no start recorded.

#include "process_support.h"
#include "temp_drive.h"
#include "texts.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace fs = std::filesystem;
using namespace pulsaro::test;
using pulsaro::texts::kServerUrl;

namespace {

TEST(About, EveryProgramAnswersHelpAndVersionAndDoesNothingElse) {
    struct Program {
        const char* file;  // in the distribution folder
        const char* name;
    };
    const Program programs[] = {
        {"setup_pulsaro_zentra", "setup_pulsaro_zentra"},
        {"pulsaro_zentra_update.exe", "pulsaro_zentra_update.exe"},
        {"system_standins/regsvr32", "regsvr32"},
        {"Pulsaro_zentra.exe", "Pulsaro_zentra.exe"},
    };
    struct Request {
        std::vector<std::string> arguments;
        bool help;
    };
    const Request requests[] = {
        {{"--version"}, false},
        {{"--help"}, true},
        {{"-h"}, true},
        {{"/?"}, true},
        {{"c:\\pulsaro_zentra\\MSINET.OCX", "--help", "--version"}, true},
    };
    TempDrive t;
    fs::create_directories(t.onDrive("pulsaro_zentra/_Pulsaro"));
    writeFile(t.onDrive("pulsaro_zentra/MSINET.OCX"), "PULSARO-CONTROL-STANDIN 1\n");
    writeFile(t.onDrive("pulsaro_zentra/Pulsaro_zentra.exe"), "installed");
    writeFile(t.onDrive("pulsaro_zentra/_Pulsaro/pulsaronew_zentra.exe"), "left by a past run");
    const fs::path marker = t.base() / "started.txt";
    ClosedPort server;
    // A program that opened a window would end at once for want of the X display named.
    const std::vector<std::string> environment = {"QT_QPA_PLATFORM=xcb",
                                                  "DISPLAY",
                                                  "WAYLAND_DISPLAY",
                                                  "PULSARO_DRIVE_C=" + t.drive().string(),
                                                  "PULSARO_UPDATE_URL=" + server.url(),
                                                  "PULSARO_STANDIN_MARKER=" + marker.string()};

    for (const Program& program : programs) {
        for (const Request& request : requests) {
            SCOPED_TRACE(std::string(program.name) + " " + request.arguments.back());
            const Finished run =
                runToEnd(builtDistribution() / program.file, request.arguments, environment);
            EXPECT_EQ(run.exitCode, 0) << run.output;
            if (request.help) {
                EXPECT_TRUE(run.output.starts_with(std::string("Usage: ") + program.name + " "))
                    << run.output;
                EXPECT_GT(std::ranges::count(run.output, '\n'), 1) << "a usage line and more";
            } else {
                EXPECT_EQ(run.output, std::string(program.name) + " " + PULSARO_VERSION + "\n");
            }
        }
    }
    EXPECT_EQ(listFolder(t.drive()), std::vector<std::string>{"pulsaro_zentra"});
    EXPECT_EQ(listFolder(t.onDrive("pulsaro_zentra/_Pulsaro")),
              std::vector<std::string>{"pulsaronew_zentra.exe"})
        << "the updater ran";
    EXPECT_EQ(readFile(t.onDrive("pulsaro_zentra/Pulsaro_zentra.exe")), "installed");
    EXPECT_FALSE(fs::exists(marker)) << "the application recorded a start";
}

// The help names the command as it was typed, without its folder, whatever the file is called:
// a link, or a launcher that starts the program by its own name.
TEST(About, HelpNamesTheCommandAsTyped) {
    TempDrive t;
    for (const char* file : {"setup_pulsaro_zentra", "pulsaro_zentra_update.exe"}) {
        SCOPED_TRACE(file);
        const fs::path link = t.base() / "typed-name";
        fs::create_symlink(builtDistribution() / file, link);
        const Finished run = runToEnd(link, {"-h"}, {"DISPLAY", "WAYLAND_DISPLAY"});
        EXPECT_EQ(run.exitCode, 0) << run.output;
        EXPECT_TRUE(run.output.starts_with("Usage: typed-name [")) << run.output;
        fs::remove(link);
    }
}

// What a user needs to know before starting the updater: what it does, where, against which
// server, how to point it elsewhere, and what its exit status says.
TEST(About, TheUpdatersHelpSaysWhatWhereWhichServerAndWhatItsExitStatusMeans) {
    const Finished run =
        runToEnd(builtDistribution() / "pulsaro_zentra_update.exe", {"--help"}, {"DISPLAY"});
    ASSERT_EQ(run.exitCode, 0) << run.output;
    for (const std::string& part :
         {std::string("downloads the newest pulsaro_zentra.exe"), std::string(kServerUrl),
          std::string("c:\\pulsaro_zentra\\pulsaro_zentra.exe"), std::string("PULSARO_UPDATE_URL"),
          std::string("PULSARO_DRIVE_C"), std::string("Exit status:\n"),
          std::string("\n  0  the installed application is now the downloaded one\n"),
          std::string("\n  1  it is not: the update failed")}) {
        EXPECT_NE(run.output.find(part), std::string::npos) << part << " in:\n" << run.output;
    }
}

}  // namespace
