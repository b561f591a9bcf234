#include "temporary_files.h"

#include "folders.h"

#include <algorithm>
#include <atomic>
#include <vector>

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

// Replaces the target with the open file, as MoveFileExW with MOVEFILE_REPLACE_EXISTING does by
// name: it fails when the target is in use or a folder.
DWORD renameOver(HANDLE file, const std::wstring& target) {
    std::wstring full(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length =
            GetFullPathNameW(target.c_str(), static_cast<DWORD>(full.size()), full.data(), nullptr);
        if (length == 0) return GetLastError();
        const bool fits = length < full.size();
        full.resize(length);
        if (fits) break;
    }
    // The system's own form of the path, which renaming by handle takes.
    const std::wstring name = L"\\??\\" + full;
    std::vector<char> buffer(sizeof(FILE_RENAME_INFO) + name.size() * sizeof(wchar_t));
    auto* rename = reinterpret_cast<FILE_RENAME_INFO*>(buffer.data());
    rename->ReplaceIfExists = TRUE;
    rename->RootDirectory = nullptr;
    rename->FileNameLength = static_cast<DWORD>(name.size() * sizeof(wchar_t));
    std::copy(name.begin(), name.end(), rename->FileName);
    return SetFileInformationByHandle(file, FileRenameInfo, rename,
                                      static_cast<DWORD>(buffer.size()))
               ? 0
               : GetLastError();
}

std::wstring_view tagOf(TemporaryWriter writer) {
    return writer == TemporaryWriter::Download ? L"d" : L"";
}

bool startsWithIgnoringCase(const std::wstring& text, const std::wstring& prefix) {
    return text.size() >= prefix.size() &&
           CompareStringOrdinal(text.c_str(), static_cast<int>(prefix.size()), prefix.c_str(),
                                static_cast<int>(prefix.size()), TRUE) == CSTR_EQUAL;
}

// A temporary file left behind (by a process killed within replaceTarget, between keeping the
// file and renaming it) is removed by the next writer to the same target. A live writer's file
// cannot be deleted, as it holds it open without sharing; one whose writer is gone can, whatever
// process now has the number in its name. Only files are ours: a folder or a link with such a name
// stays.
void removeAbandonedTemporaries(const std::wstring& target) {
    const std::wstring folder = folderOf(target);
    const std::wstring prefix = temporaryPrefix(nameOf(target));
    for (const FolderEntry& entry : listFolder(folder).entries) {
        const bool file =
            !(entry.attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT));
        if (file && startsWithIgnoringCase(entry.name, prefix)) {
            DeleteFileW(inFolder(folder, entry.name).c_str());
        }
    }
}

}  // namespace

DWORD TemporaryFile::create(const std::wstring& target, TemporaryWriter writer) {
    static std::atomic<unsigned> counter{0};
    removeAbandonedTemporaries(target);
    target_ = target;
    path_ = inFolder(folderOf(target),
                     temporaryPrefix(nameOf(target)) + std::to_wstring(GetCurrentProcessId()) +
                         L"-" + std::wstring(tagOf(writer)) + std::to_wstring(++counter));
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

DWORD TemporaryFile::flushToDisk() {
    return FlushFileBuffers(file_.get()) ? 0 : GetLastError();
}

// Renamed through its own handle, which stays open until the file has its new name: no other
// writer's sweep can take it meanwhile, as one could between a close and MoveFileExW.
DWORD TemporaryFile::replaceTarget() {
    if (const DWORD error = deleteOnClose(file_.get(), false)) return error;
    if (const DWORD error = renameOver(file_.get(), target_)) {
        deleteOnClose(file_.get(), true);
        return error;
    }
    file_.close();
    return 0;
}

}  // namespace pulsaro
