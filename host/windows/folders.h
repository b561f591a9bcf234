#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace pulsaro {

// The folder part of a Win32 path ("." for a bare name, "c:\" for "c:\x") and its last component.
std::wstring folderOf(const std::wstring& path);
std::wstring nameOf(const std::wstring& path);
std::wstring inFolder(const std::wstring& folder, const std::wstring& name);

struct FolderEntry {
    std::wstring name;  // the long name: short 8.3 names are never asked for
    DWORD attributes;
};

// Every entry of a folder but "." and "..", and the Win32 error that ended the listing early
// (0 when it did not).
struct FolderListing {
    std::vector<FolderEntry> entries;
    DWORD error = 0;
};
FolderListing listFolder(const std::wstring& folder);

bool isFolder(DWORD attributes);

}  // namespace pulsaro
