#pragma once

#include <string_view>
#include <vector>

namespace pulsaro {

// Splits a command line into its fields on runs of spaces, so the two spaces after a program
// name never produce an empty argument. The fields view the text given.
std::vector<std::string_view> splitCommandLine(std::string_view commandLine);

}  // namespace pulsaro
