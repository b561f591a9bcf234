// The command-line splitter of Shell: whatever the text, no token is empty, no token holds a
// space, and the tokens joined by single spaces give the text with its runs of spaces collapsed
// and its leading and trailing spaces dropped. Only the space separates; tabs stay in tokens.

#include "command_line.h"
#include "fuzz_check.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace {

std::string collapsedSpaces(const std::string& text) {
    std::string out;
    bool pendingSpace = false;
    for (char c : text) {
        if (c == ' ') {
            pendingSpace = !out.empty();
            continue;
        }
        if (pendingSpace) out += ' ';
        pendingSpace = false;
        out += c;
    }
    return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    const std::vector<std::string_view> tokens = pulsaro::splitCommandLine(text);
    std::string joined;
    for (const std::string_view token : tokens) {
        FUZZ_CHECK(!token.empty(), "input \"" + text + "\"");
        FUZZ_CHECK(token.find(' ') == std::string::npos, "token \"" + std::string(token) + "\"");
        joined += (joined.empty() ? "" : " ") + std::string(token);
    }
    FUZZ_CHECK(joined == collapsedSpaces(text), "input \"" + text + "\" joined \"" + joined + "\"");
    return 0;
}
