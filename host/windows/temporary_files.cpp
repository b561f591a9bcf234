#include "temporary_files.h"

#include "folders.h"

#include <algorithm>
#include <atomic>
#include <cwchar>

namespace pulsaro {
namespace {

std::wstring temporaryPrefix(const std::wstring& targetName) {
    return L"." + targetName + L".partial-";
}

DWORD deleteOnClose(HANDLE file, bool deleteIt) {
    FILE_DISPOSITION_INFO disposition{static_cast<BOOLEAN>(deleteIt)};
    return SetFileInformationByHandle(file, FileDispositionInfo, &disposition, sizeof disposition)
               ? 0
               : GetLastError();
}

// A process that exists but may not be queried counts as running.
bool processRunning(DWORD pid) {
    const Handle process(OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid));
    if (!process.valid()) return GetLastError() == ERROR_ACCESS_DENIED;
    DWORD code = 0;
    return GetExitCodeProcess(process.get(), &code) && code == STILL_ACTIVE;
}

bool startsWithIgnoringCase(const std::wstring& text, const std::wstring& prefix) {
    return text.size() >= prefix.size() &&
           CompareStringOrdinal(text.c_str(), static_cast<int>(prefix.size()), prefix.c_str(),
                                static_cast<int>(prefix.size()), TRUE) == CSTR_EQUAL;
}

}  // namespace

DWORD TemporaryFile::create(const std::wstring& target, std::wstring_view tag) {
    static std::atomic<unsigned> counter{0};
    target_ = target;
    path_ = inFolder(folderOf(target), temporaryPrefix(nameOf(target)) +
                                           std::to_wstring(GetCurrentProcessId()) + L"-" +
                                           std::wstring(tag) + std::to_wstring(++counter));
    // Shared with nobody, so no sweep can delete it while it is being written.
    file_ = Handle(CreateFileW(path_.c_str(), GENERIC_WRITE | DELETE, 0, nullptr, CREATE_NEW,
                               FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file_.valid()) return GetLastError();
    if (const DWORD error = deleteOnClose(file_.get(), true)) {
        file_.close();
        DeleteFileW(path_.c_str());
        return error;
    }
    return 0;
}

DWORD TemporaryFile::write(const char* data, std::size_t size) {
    while (size > 0) {
        const DWORD piece = static_cast<DWORD>(std::min<std::size_t>(size, 1u << 30));
        DWORD written = 0;
        if (!WriteFile(file_.get(), data, piece, &written, nullptr)) return GetLastError();
        data += written;
        size -= written;
    }
    return 0;
}

DWORD TemporaryFile::commit(bool flush) {
    if (flush && !FlushFileBuffers(file_.get())) return GetLastError();
    if (const DWORD error = deleteOnClose(file_.get(), false)) return error;
    file_.close();
    if (!MoveFileExW(path_.c_str(), target_.c_str(),
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        const DWORD error = GetLastError();
        DeleteFileW(path_.c_str());
        return error;
    }
    return 0;
}

void removeAbandonedTemporaries(const std::wstring& target) {
    const std::wstring folder = folderOf(target);
    const std::wstring prefix = temporaryPrefix(nameOf(target));
    for (const FolderEntry& entry : listFolder(folder).entries) {
        if (isFolder(entry.attributes) || !startsWithIgnoringCase(entry.name, prefix)) continue;
        const unsigned long owner = std::wcstoul(entry.name.c_str() + prefix.size(), nullptr, 10);
        if (owner > 0 && processRunning(static_cast<DWORD>(owner))) continue;
        DeleteFileW(inFolder(folder, entry.name).c_str());
    }
}

}  // namespace pulsaro
