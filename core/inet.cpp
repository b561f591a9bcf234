#include "inet.h"

namespace pulsaro {
namespace {

// Appended piece by piece: operator+ on a short literal trips a false -Wrestrict in GCC 12 -O3.
std::string downloadTask(const std::optional<GetCommand>& get, std::string_view server) {
    std::string task = "download ";
    if (get) {
        task.append(inQuotes(get->remotePath));
        task.push_back(' ');
    }
    task.append("from ");
    task.append(inQuotes(server));
    return task;
}

}  // namespace

OpResult Inet::Execute(std::string_view url, std::string_view command) {
    const std::optional<GetCommand> get = parseGetCommand(command);
    const FailureOf failure("Execute", inQuotes(url) + " " + inQuotes(command),
                            downloadTask(get, url.empty() ? url_ : url));
    if (StillExecuting())
        return failure(FailedRule::Busy, "the previous request is still executing");
    if (!get) {
        outcome_ =
            failure(FailedRule::BadCommand, "not a \"get <remote file> <local file>\" command");
        return outcome_;
    }
    outcome_ = Start(url.empty() ? url_ : std::string(url), *get, failure);
    if (outcome_) outcome_ = failure.success();
    return outcome_;
}

}  // namespace pulsaro
