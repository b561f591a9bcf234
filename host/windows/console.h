#pragma once

#include "about.h"

#include <optional>
#include <string_view>

namespace pulsaro {

// Gives a program with a window, which has no console of its own, somewhere to print: the
// standard output its starter redirected, else the console of the program that started it, if
// there is one. The C runtime's stdout then writes there.
void connectStandardOutput();

// Answers --help or --version on the program's own command line (see about.h) on that standard
// output.
std::optional<int> answerAboutRequest(const About& about);

// Writes UTF-8 text to the standard error the program was given, if any.
void writeToStandardError(std::string_view text);

}  // namespace pulsaro
