#pragma once

#include <filesystem>
#include <string>

namespace pulsaro::test {

// Gives the test process, and every program it starts, an environment of its own before
// anything reads it: HOME and the XDG folders point into a private folder and PATH into an empty
// folder of it, so nothing the machine has installed is found by a search; WINEPREFIX is unset,
// so a Wine started without a prefix of the test's own would use the private HOME's. The folder
// is removed when the process ends.
void enterHermeticEnvironment();

// The private folder.
const std::filesystem::path& hermeticHome();

// A tool the tests themselves run (Xvfb, xdotool, wine), found on the PATH the process was started
// with; empty when it is not installed.
std::string toolPath(const std::string& name);

}  // namespace pulsaro::test
