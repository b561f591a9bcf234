#pragma once

// How this host maps the programs' Windows paths: c:\ is the real drive, unless
// PULSARO_DRIVE_C names a folder that stands for it (tests, or a user who wants the tree
// elsewhere). Names are compared ignoring case by the file system itself.

#include <string>
#include <string_view>

namespace pulsaro {

// A path mapped for the Win32 API, or why it could not be.
struct MappedPath {
    std::wstring path;
    std::string error;
    bool ok() const { return error.empty(); }
};

// Maps "c:\a\b" (or "C:/a/b") onto the mapped drive when PULSARO_DRIVE_C is set, refusing ".."
// that would leave it; any other path, and every path when it is unset, is given to the system
// as it is, with '/' turned into '\'.
MappedPath mapPath(std::string_view windowsPath);

// Whether a Windows path names a place on drive c: ("c:\x", "C:/x"), which the mapping moves.
bool isOnDriveC(std::string_view windowsPath);

// Whether a Windows path is relative: no drive letter and no leading separator.
bool isRelativePath(std::string_view windowsPath);

// The folder holding the running program, without a trailing separator.
std::wstring ownFolder();

}  // namespace pulsaro
