#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace pulsaro {

// A "get" transfer command: the remote file, absolute on the server, and the local path in
// Windows form.
struct GetCommand {
    std::string remotePath;
    std::string localPath;
};

// Reads "get <remote> <local>": fields separated by runs of spaces, the verb in any letter case,
// the remote path starting with "/", no control characters. Anything else is not a get command.
std::optional<GetCommand> parseGetCommand(std::string_view command);

}  // namespace pulsaro
