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
    const bool onDriveC =
        path.size() >= 2 && path[1] == L':' && (path[0] == L'c' || path[0] == L'C');
    const std::wstring root = mappedDrive();
    if (!onDriveC || root.empty()) return MappedPath{path, {}};
    std::wstring rest = path.substr(2);
    if (climbsOut(rest)) return MappedPath{{}, "\"..\" is not allowed in a drive path"};
    if (rest.empty() || rest.front() != L'\\') rest.insert(rest.begin(), L'\\');
    return MappedPath{root + rest, {}};
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
