#include "get_command.h"

#include "case_fold.h"
#include "command_line.h"

namespace pulsaro {
namespace {

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
    const std::vector<std::string_view> fields = splitCommandLine(command);
    if (fields.size() != 3 || !sameNameIgnoringCase(fields[0], "get") || fields[1].front() != '/') {
        return std::nullopt;
    }
    return GetCommand{std::string(fields[1]), std::string(fields[2])};
}

}  // namespace pulsaro
