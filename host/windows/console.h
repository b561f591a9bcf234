#pragma once

#include <string_view>

namespace pulsaro {

// Prints UTF-8 text from a program with a window, which has no console of its own: to its
// standard output when its starter redirected that, else to the console of the program that
// started it, if there is one.
void printToConsole(std::string_view text);

// Writes UTF-8 text to the standard error the program was given, if any.
void writeToStandardError(std::string_view text);

}  // namespace pulsaro
