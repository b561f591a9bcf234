#include "about.h"

#include <cstdio>
#include <string>

namespace pulsaro {

std::string_view version() {
    return PULSARO_VERSION;
}

std::optional<int> answerAboutRequest(int argc, const char* const* argv, const About& about) {
    for (int i = 1; i < argc; ++i) {
        const std::string_view argument = argv[i];
        std::string text;
        if (argument == "--help") {
            text.append("Usage: ").append(about.program).append(" ").append(about.usage);
            text.append("\n").append(about.purpose);
        } else if (argument == "--version") {
            text.append(about.program).append(" ").append(version()).append("\n");
            text.append(about.versionDetails);
        } else {
            continue;
        }
        const bool written = std::fwrite(text.data(), 1, text.size(), stdout) == text.size();
        return written && std::fflush(stdout) == 0 ? 0 : 1;
    }
    return std::nullopt;
}

}  // namespace pulsaro
