#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

namespace pulsaro::test {

struct ProgramRun {
    int exitCode = -1;   // -1: not started, ended by a signal, or killed at the deadline
    std::string output;  // standard output and standard error as they came
};

// Base fixture for Linux tests that run Windows programs under Wine. Skips when wine is not
// installed. Otherwise the prefix named by PULSARO_WINE_PREFIX (a folder in the build tree) is
// made by scripts/wine_prefix.sh on first use, one process at a time, and Wine runs in it with
// an environment of its own: PATH, HOME, XDG_* and WINEPREFIX never come from the caller's, and
// DISPLAY is the prefix's own when ctest started one (pulsaro_add_wine_gtest in tests/) unless a
// test names its own.
// The build defines PULSARO_WINE_PREFIX_SCRIPT as the script's path.
class WinePrefixTest : public ::testing::Test {
  protected:
    void SetUp() final;
    // What a fixture sets up once the prefix is ready; never reached when the test skips.
    virtual void SetUpInPrefix() {}

    const std::filesystem::path& prefix() const { return prefix_; }

    // `wine ARGUMENTS`, with `extraEnvironment` ("DISPLAY=:5") added to Wine's environment.
    ProgramRun wine(const std::vector<std::string>& arguments,
                    const std::vector<std::string>& extraEnvironment = {},
                    std::chrono::seconds timeout = std::chrono::seconds(60)) const;
    // `wine reg query KEY`: exit code 0 and the listing, 1 when the key does not exist.
    ProgramRun regQuery(const std::string& key) const;

  private:
    std::vector<std::string> environment() const;
    std::vector<std::string> environmentWith(const std::vector<std::string>& extra) const;

    std::filesystem::path wineProgram_;
    std::filesystem::path prefix_;
};

// What window_probe reports of a window, one part a line, sorted: "Button\tOK".
std::vector<std::string> probedParts(const std::string& probed);

// The path a program under Wine sees for a host path, through the Z: drive that maps "/":
// "/tmp/a b/x.OCX" is "Z:\tmp\a b\x.OCX". A relative path is taken from the current folder.
std::string windowsPath(const std::filesystem::path& hostPath);

// ASCII letters in lower case, as Windows names are compared without their case.
std::string lowerCase(std::string text);

}  // namespace pulsaro::test
