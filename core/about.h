#pragma once

#include <optional>
#include <string_view>

namespace pulsaro {

// What a program says about itself when asked on its command line.
struct About {
    std::string_view program;  // its own name, as --version gives it
    std::string_view usage;    // what follows the name on the usage line
    std::string_view purpose;  // paragraphs, lines ending in '\n'
    std::string_view more{};   // what the host adds, lines ending in '\n'
};

// The version of every program built from this tree.
std::string_view version();

// Answers a request for help (--help, -h or /?) or for the version (--version), whichever comes
// first among the arguments, on standard output and gives the exit status (0, or 1 when standard
// output could not take the answer): the program then ends without doing anything else. The
// help's usage line names the command the program was started by (argv[0] without its folder),
// so that a launcher that passes its own name is the name the user reads. Gives nothing for any
// other arguments, which the programs ignore.
std::optional<int> answerAboutRequest(int argc, const char* const* argv, const About& about);

}  // namespace pulsaro
