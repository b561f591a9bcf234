#include "drive.h"
#include "folders.h"
#include "handle.h"
#include "host.h"
#include "operation_calls.h"
#include "readable_file.h"
#include "system_error.h"
#include "temporary_files.h"
#include "wide.h"
#include "wildcard.h"

#include <windows.h>

#include <algorithm>
#include <string>
#include <vector>

namespace pulsaro {
namespace {

// A relative source is looked up in the current folder, then beside the running program.
std::wstring resolveSource(std::string_view source, const std::wstring& mapped) {
    if (!isRelativePath(source) || GetFileAttributesW(mapped.c_str()) != INVALID_FILE_ATTRIBUTES) {
        return mapped;
    }
    const std::wstring beside = inFolder(ownFolder(), mapped);
    return GetFileAttributesW(beside.c_str()) != INVALID_FILE_ATTRIBUTES ? beside : mapped;
}

// Opens a file for reading only if it is a file on a disk: a folder, a pipe, a console or another
// device is refused before anything could wait on it. The Win32 error is left for GetLastError.
Handle openRegularFile(const std::wstring& path, DWORD share, bool& notARegularFile) {
    notARegularFile = false;
    // Backup semantics let a folder open, so that it is told apart from a missing file.
    Handle file(CreateFileW(path.c_str(), GENERIC_READ, share, nullptr, OPEN_EXISTING,
                            FILE_FLAG_SEQUENTIAL_SCAN | FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (!file.valid()) return file;
    BY_HANDLE_FILE_INFORMATION info{};
    if (GetFileType(file.get()) != FILE_TYPE_DISK ||
        (GetFileInformationByHandle(file.get(), &info) && isFolder(info.dwFileAttributes))) {
        notARegularFile = true;
        return Handle();
    }
    return file;
}

constexpr DWORD kCopyPiece = 1 << 20;
// Reading a file that others may be writing, renaming or deleting meanwhile.
constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

DWORD copyBytes(HANDLE in, TemporaryFile& out) {
    std::vector<char> buffer(kCopyPiece);
    for (;;) {
        DWORD got = 0;
        if (!ReadFile(in, buffer.data(), kCopyPiece, &got, nullptr)) return GetLastError();
        if (got == 0) return 0;
        if (const DWORD error = out.write(buffer.data(), got)) return error;
    }
}

// Whether a folder holds folders only, which the removal of an install root keeps on purpose. A
// link to a folder counts as a folder, as KillFiles leaves it too.
bool holdsOnlyFolders(const std::wstring& folder) {
    const FolderListing listing = listFolder(folder);
    return listing.error == 0 && std::ranges::all_of(listing.entries, [](const FolderEntry& e) {
               return isFolder(e.attributes);
           });
}

}  // namespace

OpResult openFileToRead(std::string_view windowsPath, const FailureOf& fail, Handle& file) {
    const MappedPath mapped = mapPath(windowsPath);
    if (!mapped.ok()) return fail(FailedRule::OutsideDrive, mapped.error);
    bool notAFile = false;
    file = openRegularFile(mapped.path, kShareAll, notAFile);
    if (notAFile) return fail(FailedRule::NotARegularFile, narrow(mapped.path) + " is not a file");
    if (!file.valid()) return systemFailure(fail, GetLastError(), narrow(mapped.path));
    return OpResult::success();
}

OpResult KillFiles(std::string_view pattern) noexcept {
    return runOperation(
        calls::killFiles(pattern), kOutOfMemory, [&](const FailureOf& fail) -> OpResult {
            const MappedPath mapped = mapPath(pattern);
            if (!mapped.ok()) return fail(FailedRule::OutsideDrive, mapped.error);
            const std::wstring folder = folderOf(mapped.path);
            const std::string namePattern = narrow(nameOf(mapped.path));
            // The folder is listed and matched by the programs' own rules, so both hosts match
            // alike and nothing matches through a short 8.3 name.
            const FolderListing listing = listFolder(folder);
            if (listing.error == ERROR_PATH_NOT_FOUND) {
                return systemFailure(fail, listing.error, narrow(folder)).asNothingUndone();
            }
            if (listing.error) return systemFailure(fail, listing.error, narrow(folder));
            int matched = 0;
            DWORD lastError = 0;
            std::string undeleted;
            for (const FolderEntry& entry : listing.entries) {
                // A link to a folder is a folder; a link to a file is removed itself.
                if (isFolder(entry.attributes) ||
                    !matchesWildcard(namePattern, narrow(entry.name))) {
                    continue;
                }
                ++matched;
                if (!DeleteFileW(inFolder(folder, entry.name).c_str())) {
                    lastError = GetLastError();
                    undeleted += (undeleted.empty() ? "" : "; ") + narrow(entry.name) + ": " +
                                 hostReason(lastError);
                }
            }
            if (matched == 0) {
                return fail(FailedRule::NoFileMatches, "no file matches").asNothingUndone();
            }
            if (!undeleted.empty()) {
                return fail(undeleted, ErrorCode::system(static_cast<long>(lastError)));
            }
            return fail.success();
        });
}

OpResult RemoveDir(std::string_view path) noexcept {
    return runOperation(
        calls::removeDir(path), kOutOfMemory, [&](const FailureOf& fail) -> OpResult {
            const MappedPath mapped = mapPath(path);
            if (!mapped.ok()) return fail(FailedRule::OutsideDrive, mapped.error);
            if (!RemoveDirectoryW(mapped.path.c_str())) {
                const DWORD error = GetLastError();
                OpResult failed = systemFailure(fail, error);
                const bool missing = error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
                if (missing || (error == ERROR_DIR_NOT_EMPTY && holdsOnlyFolders(mapped.path))) {
                    return std::move(failed).asNothingUndone();
                }
                return failed;
            }
            return fail.success();
        });
}

OpResult MakeDir(std::string_view path) noexcept {
    return runOperation(calls::makeDir(path), kOutOfMemory, [&](const FailureOf& fail) -> OpResult {
        const MappedPath mapped = mapPath(path);
        if (!mapped.ok()) return fail(FailedRule::OutsideDrive, mapped.error);
        if (!CreateDirectoryW(mapped.path.c_str(), nullptr)) {
            const DWORD error = GetLastError();
            const DWORD existing = GetFileAttributesW(mapped.path.c_str());
            if (error == ERROR_ALREADY_EXISTS && existing != INVALID_FILE_ATTRIBUTES &&
                isFolder(existing)) {
                return systemFailure(fail, error).asNothingUndone();
            }
            return systemFailure(fail, error);
        }
        return fail.success();
    });
}

OpResult FileCopy(std::string_view source, std::string_view destination) noexcept {
    return runOperation(
        calls::fileCopy(source, destination), kOutOfMemory, [&](const FailureOf& fail) -> OpResult {
            const MappedPath from = mapPath(source);
            if (!from.ok()) return fail(FailedRule::OutsideDrive, from.error);
            const std::wstring sourcePath = resolveSource(source, from.path);
            bool notAFile = false;
            const Handle in = openRegularFile(sourcePath, FILE_SHARE_READ, notAFile);
            if (notAFile) {
                return fail(FailedRule::NotARegularFile, narrow(sourcePath) + " is not a file");
            }
            if (!in.valid()) return systemFailure(fail, GetLastError(), narrow(sourcePath));

            const MappedPath to = mapPath(destination);
            if (!to.ok()) return fail(FailedRule::OutsideDrive, to.error);
            const DWORD existing = GetFileAttributesW(to.path.c_str());
            if (existing != INVALID_FILE_ATTRIBUTES) {
                // What replacing a folder would fail with, said before copying anything.
                if (isFolder(existing)) {
                    return systemFailure(fail, ERROR_ACCESS_DENIED, narrow(to.path));
                }
                // Checked here, not left to the rename: a read-only file stays, whoever copies.
                if (existing & FILE_ATTRIBUTE_READONLY) {
                    return fail(FailedRule::ReadOnlyDestination, narrow(to.path) + " is read-only");
                }
            }
            TemporaryFile out;
            if (const DWORD error = out.create(to.path, TemporaryWriter::Copy)) {
                return systemFailure(fail, error, narrow(folderOf(to.path)));
            }
            DWORD error = copyBytes(in.get(), out);
            if (error == 0) error = out.flushToDisk();
            if (error == 0) error = out.replaceTarget();
            if (error != 0) return systemFailure(fail, error, narrow(to.path));
            return fail.success();
        });
}

OpResult FileLen(std::string_view path, std::int64_t& length) noexcept {
    return runOperation(calls::fileLen(path), kOutOfMemory, [&](const FailureOf& fail) -> OpResult {
        Handle file;
        if (OpResult opened = openFileToRead(path, fail, file); !opened) return opened;
        LARGE_INTEGER size{};
        if (!GetFileSizeEx(file.get(), &size)) return systemFailure(fail, GetLastError());
        length = size.QuadPart;
        return fail.success();
    });
}

OpResult ReadSmallFile(std::string_view path, std::size_t maxBytes, std::string& bytes) noexcept {
    return runOperation(
        calls::readSmallFile(path), kOutOfMemory, [&](const FailureOf& fail) -> OpResult {
            Handle in;
            if (OpResult opened = openFileToRead(path, fail, in); !opened) return opened;
            // One byte more than allowed tells a file that is too long without reading the rest.
            std::string read(maxBytes + 1, '\0');
            std::size_t got = 0;
            while (got < read.size()) {
                DWORD n = 0;
                const DWORD wanted =
                    static_cast<DWORD>(std::min<std::size_t>(read.size() - got, kCopyPiece));
                if (!ReadFile(in.get(), read.data() + got, wanted, &n, nullptr)) {
                    return systemFailure(fail, GetLastError());
                }
                if (n == 0) break;
                got += n;
            }
            if (got > maxBytes) {
                return fail(FailedRule::LargerThanAllowed,
                            "the file holds more than " + std::to_string(maxBytes) + " bytes");
            }
            read.resize(got);
            bytes = std::move(read);
            return fail.success();
        });
}

bool SameContents(std::string_view pathA, std::string_view pathB) noexcept try {
    const MappedPath a = mapPath(pathA);
    const MappedPath b = mapPath(pathB);
    if (!a.ok() || !b.ok()) return false;
    bool notAFile = false;
    const Handle fa = openRegularFile(a.path, kShareAll, notAFile);
    const Handle fb = openRegularFile(b.path, kShareAll, notAFile);
    LARGE_INTEGER sizeA{}, sizeB{};
    if (!fa.valid() || !fb.valid() || !GetFileSizeEx(fa.get(), &sizeA) ||
        !GetFileSizeEx(fb.get(), &sizeB) || sizeA.QuadPart != sizeB.QuadPart) {
        return false;
    }
    std::vector<char> bufferA(kCopyPiece), bufferB(kCopyPiece);
    for (;;) {
        DWORD gotA = 0, gotB = 0;
        if (!ReadFile(fa.get(), bufferA.data(), kCopyPiece, &gotA, nullptr) ||
            !ReadFile(fb.get(), bufferB.data(), kCopyPiece, &gotB, nullptr) || gotA != gotB) {
            return false;
        }
        if (gotA == 0) return true;
        if (!std::equal(bufferA.begin(), bufferA.begin() + gotA, bufferB.begin())) return false;
    }
} catch (const std::exception&) {
    return false;
}

}  // namespace pulsaro
