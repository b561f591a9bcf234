#pragma once

// How this host maps Windows paths onto its own file system.

#include <filesystem>
#include <span>
#include <string>
#include <string_view>

namespace pulsaro {

// A Windows path mapped onto the host, or why it could not be.
struct MappedPath {
    std::filesystem::path path;
    std::string error;
    bool ok() const { return error.empty(); }
};

// The host folder that stands for c:\ : $PULSARO_DRIVE_C, else $WINEPREFIX/drive_c, else
// ${XDG_DATA_HOME:-$HOME/.local/share}/pulsaro/drive_c. Created when missing, because a drive
// root always exists; found and created once for each setting.
MappedPath driveRoot();

// The Wine prefix a drive folder is the drive_c of: its parent, when that holds Wine's
// system.reg. Empty for a drive that is not a Wine prefix's.
std::filesystem::path winePrefixOf(const std::filesystem::path& drive);

// Maps a Windows path ("c:\a\b", "C:/a/b", or a relative "a\b" against the current folder) onto
// the host, resolving each component case-insensitively: an exact match wins, else the first
// existing entry in byte order whose name matches ignoring case, else the spelling given (for an
// entry about to be created). On the drive, ".." and folders that lead outside it are refused.
MappedPath mapPath(std::string_view windowsPath);

// As mapPath, for a path whose last component is about to be opened or started: on the
// drive, a last component that is a link leading outside it is refused as well. (A path that is
// only removed, replaced or created does not follow its last component.)
MappedPath mapPathToFollow(std::string_view windowsPath);

// Maps a relative Windows path below a host folder with the same rule, following its last
// component.
MappedPath mapPathBelow(const std::filesystem::path& folder, std::string_view relativePath);

// Whether a Windows path is relative: no drive letter and no leading separator.
bool isRelativePath(std::string_view windowsPath);

// Resolves one name inside an existing host folder with the same rule.
std::filesystem::path resolveEntry(const std::filesystem::path& folder, std::string_view name);

// One plain sentence saying that the drive folder is too deep to work in, when one of the tree's
// paths (Windows paths on c:) would be longer below it than this system lets a path be
// (PATH_MAX): no operation could reach it, and the steps that need it will fail. Empty when
// every path fits, or when there is no drive folder (each step then says why).
std::string driveTooDeep(std::span<const char* const> treePaths);

// The folder holding the running program.
std::filesystem::path ownFolder();

}  // namespace pulsaro
