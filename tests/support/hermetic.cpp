#include "hermetic.h"

#include <unistd.h>

#include <cstdlib>
#include <stdexcept>
#include <string_view>

namespace fs = std::filesystem;

namespace pulsaro::test {
namespace {

fs::path& home() {
    static fs::path folder;
    return folder;
}

std::string& originalPath() {
    static std::string path;
    return path;
}

void removeHome() {
    std::error_code ec;
    fs::remove_all(home(), ec);
}

}  // namespace

void enterHermeticEnvironment() {
    if (!home().empty()) return;
    std::string templ = (fs::temp_directory_path() / "pulsaro-home-XXXXXX").string();
    if (!mkdtemp(templ.data())) throw std::runtime_error("mkdtemp failed");
    home() = templ;
    std::atexit(removeHome);
    if (const char* path = std::getenv("PATH")) originalPath() = path;
    const auto set = [](const char* name, const fs::path& value) {
        fs::create_directories(value);
        setenv(name, value.c_str(), 1);
    };
    set("HOME", home());
    set("XDG_DATA_HOME", home() / "data");
    set("XDG_CONFIG_HOME", home() / "config");
    set("XDG_CACHE_HOME", home() / "cache");
    set("XDG_STATE_HOME", home() / "state");
    set("XDG_RUNTIME_DIR", home() / "runtime");
    fs::permissions(home() / "runtime", fs::perms::owner_all, fs::perm_options::replace);
    set("PATH", home() / "bin");
    unsetenv("WINEPREFIX");
    unsetenv("PULSARO_DRIVE_C");
    unsetenv("PULSARO_UPDATE_URL");
}

const fs::path& hermeticHome() {
    return home();
}

std::string toolPath(const std::string& name) {
    std::string_view rest(originalPath());
    while (!rest.empty()) {
        const std::size_t colon = rest.find(':');
        const fs::path candidate = fs::path(std::string(rest.substr(0, colon))) / name;
        if (::access(candidate.c_str(), X_OK) == 0) return candidate.string();
        rest = colon == std::string_view::npos ? std::string_view() : rest.substr(colon + 1);
    }
    return {};
}

}  // namespace pulsaro::test
