#include "folders.h"

namespace pulsaro {

std::wstring folderOf(const std::wstring& path) {
    const std::size_t cut = path.find_last_of(L"\\/");
    if (cut == std::wstring::npos) return L".";
    // "c:" alone would mean the drive's current folder, not its root.
    const bool driveRoot = cut == 2 && path[1] == L':';
    return path.substr(0, cut == 0 || driveRoot ? cut + 1 : cut);
}

std::wstring nameOf(const std::wstring& path) {
    const std::size_t cut = path.find_last_of(L"\\/");
    return cut == std::wstring::npos ? path : path.substr(cut + 1);
}

std::wstring inFolder(const std::wstring& folder, const std::wstring& name) {
    if (!folder.empty() && (folder.back() == L'\\' || folder.back() == L'/')) return folder + name;
    return folder + L"\\" + name;
}

FolderListing listFolder(const std::wstring& folder) {
    FolderListing listing;
    WIN32_FIND_DATAW found;
    const std::wstring everything = inFolder(folder, L"*");
    HANDLE search = FindFirstFileExW(everything.c_str(), FindExInfoBasic, &found,
                                     FindExSearchNameMatch, nullptr, FIND_FIRST_EX_LARGE_FETCH);
    if (search == INVALID_HANDLE_VALUE) {
        // A folder without even "." and ".." (a drive's root) holds nothing.
        const DWORD error = GetLastError();
        listing.error = error == ERROR_FILE_NOT_FOUND ? 0 : error;
        return listing;
    }
    do {
        const std::wstring name = found.cFileName;
        if (name != L"." && name != L"..")
            listing.entries.push_back({name, found.dwFileAttributes});
    } while (FindNextFileW(search, &found));
    const DWORD error = GetLastError();
    listing.error = error == ERROR_NO_MORE_FILES ? 0 : error;
    FindClose(search);
    return listing;
}

bool isFolder(DWORD attributes) {
    return (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

}  // namespace pulsaro
