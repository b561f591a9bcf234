#include "get_command.h"

#include <vector>

namespace pulsaro {
namespace {

std::vector<std::string_view> splitOnSpaces(std::string_view text) {
    std::vector<std::string_view> fields;
    std::size_t start = text.find_first_not_of(' ');
    while (start != std::string_view::npos) {
        const std::size_t end = text.find(' ', start);
        fields.push_back(text.substr(start, end - start));
        start = text.find_first_not_of(' ', end);
    }
    return fields;
}

bool isGetVerb(std::string_view verb) {
    constexpr std::string_view kGet = "get";
    if (verb.size() != kGet.size()) return false;
    for (std::size_t i = 0; i < verb.size(); ++i) {
        if ((verb[i] | 0x20) != kGet[i]) return false;
    }
    return true;
}

// A control character would end the FTP command the path is sent in.
bool hasControlCharacter(std::string_view text) {
    for (unsigned char c : text) {
        if (c < 0x20 || c == 0x7f) return true;
    }
    return false;
}

}  // namespace

std::optional<GetCommand> parseGetCommand(std::string_view command) {
    if (hasControlCharacter(command)) return std::nullopt;
    const std::vector<std::string_view> fields = splitOnSpaces(command);
    if (fields.size() != 3 || !isGetVerb(fields[0]) || fields[1].front() != '/') {
        return std::nullopt;
    }
    return GetCommand{std::string(fields[1]), std::string(fields[2])};
}

}  // namespace pulsaro
