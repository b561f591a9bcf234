#include "drive.h"

#include "wide.h"

#include <windows.h>

#include <cstdlib>

namespace pulsaro {
namespace {

std::wstring withBackslashes(std::wstring path) {
    for (wchar_t& c : path) {
        if (c == L'/') c = L'\\';
    }
    return path;
}

bool climbsOut(std::wstring_view path) {
    std::size_t start = 0;
    while (start <= path.size()) {
        const std::size_t end = path.find(L'\\', start);
        if (path.substr(start, end - start) == L"..") return true;
        if (end == std::wstring_view::npos) break;
        start = end + 1;
    }
    return false;
}

std::wstring mappedDrive() {
    const wchar_t* configured = _wgetenv(L"PULSARO_DRIVE_C");
    std::wstring root = configured ? configured : L"";
    while (!root.empty() && (root.back() == L'\\' || root.back() == L'/')) root.pop_back();
    return withBackslashes(root);
}

}  // namespace

MappedPath mapPath(std::string_view windowsPath) {
    std::wstring path = withBackslashes(widen(windowsPath));
    const std::wstring root = mappedDrive();
    if (!isOnDriveC(windowsPath) || root.empty()) return MappedPath{path, {}};
    std::wstring rest = path.substr(2);
    if (climbsOut(rest)) return MappedPath{{}, "\"..\" is not allowed in a drive path"};
    if (rest.empty() || rest.front() != L'\\') rest.insert(rest.begin(), L'\\');
    return MappedPath{root + rest, {}};
}

bool isOnDriveC(std::string_view windowsPath) {
    return windowsPath.size() >= 2 && windowsPath[1] == ':' &&
           (windowsPath[0] == 'c' || windowsPath[0] == 'C');
}

bool isRelativePath(std::string_view windowsPath) {
    const bool hasDrive = windowsPath.size() >= 2 && windowsPath[1] == ':';
    return !hasDrive && !windowsPath.starts_with('\\') && !windowsPath.starts_with('/');
}

std::wstring ownFolder() {
    std::wstring buffer(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length =
            GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
        if (length == 0) return {};
        if (length < buffer.size()) {
            buffer.resize(length);
            break;
        }
        buffer.resize(buffer.size() * 2);
    }
    return buffer.substr(0, buffer.find_last_of(L"\\/"));
}

}  // namespace pulsaro
