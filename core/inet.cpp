#include "inet.h"

namespace pulsaro {

OpResult Inet::Execute(std::string_view url, std::string_view command) {
    const FailureOf failure("Execute", inQuotes(url) + " " + inQuotes(command));
    if (StillExecuting())
        return failure(FailedRule::Busy, "the previous request is still executing");
    const std::optional<GetCommand> get = parseGetCommand(command);
    if (!get) {
        outcome_ =
            failure(FailedRule::BadCommand, "not a \"get <remote file> <local file>\" command");
        return outcome_;
    }
    outcome_ = Start(url.empty() ? url_ : std::string(url), *get, failure);
    return outcome_;
}

}  // namespace pulsaro
