#include "drive.h"

#include "case_fold.h"

#include <limits.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <optional>
#include <system_error>
#include <vector>

namespace fs = std::filesystem;

namespace pulsaro {
namespace {

MappedPath failed(std::string why) {
    return MappedPath{{}, std::move(why)};
}

std::vector<std::string> splitComponents(std::string_view path) {
    std::vector<std::string> parts;
    std::string current;
    for (char c : path) {
        if (c == '\\' || c == '/') {
            if (!current.empty()) parts.push_back(std::move(current));
            current.clear();
        } else {
            current.push_back(c);
        }
    }
    if (!current.empty()) parts.push_back(std::move(current));
    return parts;
}

bool isUnder(const fs::path& candidate, const fs::path& root) {
    auto [rootEnd, candidateIt] =
        std::mismatch(root.begin(), root.end(), candidate.begin(), candidate.end());
    return rootEnd == root.end();
}

// A folder on the way that is a link must stay on the drive once followed.
bool linkStaysOnDrive(const fs::path& link, const fs::path& canonicalRoot) {
    std::error_code ec;
    const fs::path target = fs::weakly_canonical(link, ec);
    return !ec && isUnder(target, canonicalRoot);
}

MappedPath walk(fs::path base, const std::vector<std::string>& parts,
                const std::optional<fs::path>& containWithin, bool followLast) {
    for (std::size_t i = 0; i < parts.size(); ++i) {
        const std::string& part = parts[i];
        if (part == ".") continue;
        if (part == "..") {
            if (containWithin) return failed("\"..\" is not allowed in a drive path");
            base = base.parent_path();
            continue;
        }
        base = resolveEntry(base, part);
        const bool followed = followLast || i + 1 < parts.size();
        std::error_code ec;
        if (containWithin && followed && fs::is_symlink(fs::symlink_status(base, ec)) &&
            !linkStaysOnDrive(base, *containWithin)) {
            return failed(base.string() + " links outside the drive");
        }
    }
    return MappedPath{base, {}};
}

// The folder the settings name for c:\, before it is created.
MappedPath configuredDrive() {
    if (const char* configured = std::getenv("PULSARO_DRIVE_C"); configured && *configured) {
        return MappedPath{configured, {}};
    }
    if (const char* prefix = std::getenv("WINEPREFIX"); prefix && *prefix) {
        return MappedPath{fs::path(prefix) / "drive_c", {}};
    }
    if (const char* data = std::getenv("XDG_DATA_HOME"); data && *data) {
        return MappedPath{fs::path(data) / "pulsaro" / "drive_c", {}};
    }
    if (const char* home = std::getenv("HOME"); home && *home) {
        return MappedPath{fs::path(home) / ".local" / "share" / "pulsaro" / "drive_c", {}};
    }
    return failed("none of PULSARO_DRIVE_C, WINEPREFIX and HOME is set");
}

MappedPath createDrive(const fs::path& root) {
    std::error_code ec;
    fs::create_directories(root, ec);
    if (ec) return failed("cannot create drive folder " + root.string() + ": " + ec.message());
    fs::path canonical = fs::canonical(root, ec);
    if (ec) return failed("cannot reach drive folder " + root.string() + ": " + ec.message());
    return MappedPath{canonical, {}};
}

MappedPath resolve(std::string_view windowsPath, bool followLast) {
    const bool hasDrive = windowsPath.size() >= 2 && windowsPath[1] == ':';
    if (hasDrive) {
        const char letter = windowsPath[0];
        if (letter != 'c' && letter != 'C') {
            return failed(std::string("drive ") + letter + ": is not mapped on this host");
        }
        MappedPath root = driveRoot();
        if (!root.ok()) return root;
        return walk(root.path, splitComponents(windowsPath.substr(2)), root.path, followLast);
    }
    if (!isRelativePath(windowsPath)) {
        return failed("path without a drive letter: " + std::string(windowsPath));
    }
    std::error_code ec;
    fs::path cwd = fs::current_path(ec);
    if (ec) return failed("no current folder: " + ec.message());
    return walk(cwd, splitComponents(windowsPath), std::nullopt, followLast);
}

}  // namespace

fs::path resolveEntry(const fs::path& folder, std::string_view name) {
    std::error_code ec;
    const fs::path exact = folder / fs::path(std::string(name));
    if (fs::exists(fs::symlink_status(exact, ec))) return exact;
    std::optional<std::string> best;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        std::string candidate = it->path().filename().string();
        if (sameNameIgnoringCase(candidate, name) && (!best || candidate < *best)) {
            best = std::move(candidate);
        }
    }
    return best ? folder / *best : exact;
}

MappedPath driveRoot() {
    const MappedPath configured = configuredDrive();
    if (!configured.ok()) return configured;
    static std::mutex lock;
    static fs::path foundFor;
    static MappedPath found;
    const std::lock_guard<std::mutex> guard(lock);
    if (foundFor != configured.path || !found.ok()) {
        foundFor = configured.path;
        found = createDrive(configured.path);
    }
    return found;
}

fs::path winePrefixOf(const fs::path& drive) {
    std::error_code ec;
    const fs::path prefix = drive.parent_path();
    return fs::is_regular_file(prefix / "system.reg", ec) ? prefix : fs::path();
}

bool isRelativePath(std::string_view windowsPath) {
    const bool hasDrive = windowsPath.size() >= 2 && windowsPath[1] == ':';
    return !hasDrive &&
           !(!windowsPath.empty() && (windowsPath[0] == '\\' || windowsPath[0] == '/'));
}

MappedPath mapPath(std::string_view windowsPath) {
    return resolve(windowsPath, false);
}

MappedPath mapPathToFollow(std::string_view windowsPath) {
    return resolve(windowsPath, true);
}

MappedPath mapPathBelow(const fs::path& folder, std::string_view relativePath) {
    return walk(folder, splitComponents(relativePath), std::nullopt, true);
}

std::string driveTooDeep(std::span<const char* const> treePaths) {
    const MappedPath root = driveRoot();
    if (!root.ok()) return {};
    std::size_t longest = 0;
    for (const char* path : treePaths) longest = std::max(longest, std::strlen(path));
    // "c:" gives way to the drive folder; each separator stays one byte.
    if (root.path.native().size() + longest - 2 < PATH_MAX) return {};
    std::string sentence = "the folder that stands for c:\\, ";
    sentence.append(root.path.native());
    sentence.append(
        ", is too deep to work in: the paths of the installation below it would pass "
        "this system's limit of ");
    sentence.append(std::to_string(PATH_MAX));
    sentence.append(" bytes. Set PULSARO_DRIVE_C to a shorter folder.");
    return sentence;
}

fs::path ownFolder() {
    std::error_code ec;
    fs::path self = fs::read_symlink("/proc/self/exe", ec);
    return ec ? fs::path() : self.parent_path();
}

}  // namespace pulsaro
