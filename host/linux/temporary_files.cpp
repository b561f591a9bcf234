#include "temporary_files.h"

#include <signal.h>
#include <unistd.h>

#include <cstdlib>
#include <system_error>

namespace fs = std::filesystem;

namespace pulsaro {
namespace {

std::string temporaryPrefix(const std::string& targetName) {
    return "." + targetName + ".partial-";
}

}  // namespace

std::string newTemporaryName(const std::string& targetName, std::string_view tag) {
    static unsigned counter = 0;
    return temporaryPrefix(targetName) + std::to_string(::getpid()) + "-" + std::string(tag) +
           std::to_string(++counter);
}

void removeAbandonedTemporaries(const fs::path& folder, const std::string& targetName) {
    const std::string prefix = temporaryPrefix(targetName);
    std::error_code ec;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        const std::string name = it->path().filename().string();
        if (name.rfind(prefix, 0) != 0) continue;
        const long owner = std::strtol(name.c_str() + prefix.size(), nullptr, 10);
        if (owner > 0 && ::kill(static_cast<pid_t>(owner), 0) == 0) continue;
        std::error_code ignored;
        fs::remove(it->path(), ignored);
    }
}

}  // namespace pulsaro
