#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace pulsaro {

// Splits a command line into its program and arguments on runs of spaces, so the two spaces
// after a program name never produce an empty argument.
std::vector<std::string> splitCommandLine(std::string_view commandLine);

}  // namespace pulsaro
