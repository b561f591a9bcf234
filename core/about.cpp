#include "about.h"

#include <cstdio>
#include <string>

namespace pulsaro {
namespace {

bool asksForHelp(std::string_view argument) {
    return argument == "--help" || argument == "-h" || argument == "/?";
}

// The command as typed, without its folder; the program's own name when there is none.
std::string_view startedAs(int argc, const char* const* argv, std::string_view ownName) {
    if (argc < 1 || !argv[0]) return ownName;
    std::string_view typed = argv[0];
    if (const auto cut = typed.find_last_of("/\\"); cut != std::string_view::npos) {
        typed.remove_prefix(cut + 1);
    }
    return typed.empty() ? ownName : typed;
}

}  // namespace

std::string_view version() {
    return PULSARO_VERSION;
}

std::optional<int> answerAboutRequest(int argc, const char* const* argv, const About& about) {
    for (int i = 1; i < argc; ++i) {
        const std::string_view argument = argv[i];
        std::string text;
        if (asksForHelp(argument)) {
            text.append("Usage: ").append(startedAs(argc, argv, about.program));
            text.append(" ").append(about.usage).append("\n");
            text.append(about.purpose).append(about.more);
        } else if (argument == "--version") {
            text.append(about.program).append(" ").append(version()).append("\n");
        } else {
            continue;
        }
        const bool written = std::fwrite(text.data(), 1, text.size(), stdout) == text.size();
        return written && std::fflush(stdout) == 0 ? 0 : 1;
    }
    return std::nullopt;
}

}  // namespace pulsaro
