#include "case_fold.h"
#include "drive.h"
#include "fd.h"
#include "host.h"
#include "operation_calls.h"
#include "readable_file.h"
#include "system_error.h"
#include "temporary_files.h"
#include "wildcard.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

namespace fs = std::filesystem;

namespace pulsaro {
namespace {

std::string lastComponent(std::string_view path) {
    const auto cut = path.find_last_of("\\/");
    return std::string(cut == std::string_view::npos ? path : path.substr(cut + 1));
}

// openForReading's answer for a path that exists but is not a regular file.
constexpr int kNotRegular = -1;

// Opens a file for reading without ever waiting on it. Anything but a regular file is refused
// before it is opened, as opening a FIFO or a device may block or act on it, and again once
// opened, in case it was swapped in between. 0 when `fd` holds it, else the host's error number
// or kNotRegular.
int openForReading(const fs::path& path, Fd& fd) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) return errno;
    if (!S_ISREG(info.st_mode)) return kNotRegular;
    fd.reset(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    if (!fd.valid()) return errno;
    if (::fstat(fd.get(), &info) != 0) return errno;
    return S_ISREG(info.st_mode) ? 0 : kNotRegular;
}

// The failure for openForReading's answer, or for a path that is not a regular file.
OpResult openFailure(const FailureOf& fail, int error, const fs::path& path) {
    if (error == kNotRegular) {
        return fail(FailedRule::NotARegularFile, path.string() + " is not a file");
    }
    return systemFailure(fail, error, path.string());
}

// A relative source is looked up in the current folder, then beside the running program.
MappedPath resolveSource(std::string_view source) {
    MappedPath found = mapPathToFollow(source);
    std::error_code ec;
    if (!isRelativePath(source) || !found.ok() || fs::exists(found.path, ec)) return found;
    const fs::path beside = ownFolder();
    if (beside.empty()) return found;
    MappedPath candidate = mapPathBelow(beside, source);
    return candidate.ok() && fs::exists(candidate.path, ec) ? candidate : found;
}

// The kernel copies this much at a time and starts writing it to the disk at once, so that the
// disk works on one piece while the next is copied and the final flush has little left to do.
constexpr size_t kCopyStep = 32 << 20;

// Copies every byte, letting the kernel do it where it can.
int copyBytes(int in, int out) {
    bool kernelCopy = true;
    off_t copied = 0;
    std::vector<char> buffer;
    for (;;) {
        if (kernelCopy) {
            const ssize_t n = ::copy_file_range(in, nullptr, out, nullptr, kCopyStep, 0);
            if (n > 0) {
                ::sync_file_range(out, copied, n, SYNC_FILE_RANGE_WRITE);
                copied += n;
                continue;
            }
            if (n == 0) return 0;
            if (errno == EINTR) continue;
            if (errno != EXDEV && errno != EINVAL && errno != ENOSYS && errno != EOPNOTSUPP) {
                return errno;
            }
            kernelCopy = false;
            buffer.resize(1 << 20);
        }
        const ssize_t got = ::read(in, buffer.data(), buffer.size());
        if (got == 0) return 0;
        if (got < 0) {
            if (errno == EINTR) continue;
            return errno;
        }
        for (ssize_t done = 0; done < got;) {
            const ssize_t put = ::write(out, buffer.data() + done, static_cast<size_t>(got - done));
            if (put < 0) {
                if (errno == EINTR) continue;
                return errno;
            }
            done += put;
        }
    }
}

bool endsWithIgnoringCase(const std::string& name, std::string_view suffix) {
    return name.size() >= suffix.size() &&
           sameNameIgnoringCase(std::string_view(name).substr(name.size() - suffix.size()), suffix);
}

// The mode the copy is created with; the umask then takes away what it forbids, as for cp.
mode_t destinationMode(mode_t sourceMode, const std::string& destinationName) {
    mode_t mode = sourceMode & 0777;
    if (endsWithIgnoringCase(destinationName, ".exe")) {
        mode |= (mode & 0444) >> 2;  // executable for whoever may read it
    }
    return mode;
}

// Whether a folder holds folders only, which the removal of an install root keeps on purpose. A
// link to a folder counts as a folder, as KillFiles leaves it too.
bool holdsOnlyFolders(const fs::path& folder) {
    std::error_code ec;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        std::error_code typeError;
        if (!it->is_directory(typeError)) return false;
    }
    return !ec;
}

}  // namespace

OpResult openFileToRead(std::string_view windowsPath, const FailureOf& fail, Fd& fd) {
    const MappedPath mapped = mapPathToFollow(windowsPath);
    if (!mapped.ok()) return fail(FailedRule::OutsideDrive, mapped.error);
    if (const int error = openForReading(mapped.path, fd); error != 0) {
        return openFailure(fail, error, mapped.path);
    }
    return OpResult::success();
}

OpResult KillFiles(std::string_view pattern) noexcept {
    return runOperation(
        calls::killFiles(pattern), kOutOfMemory, [&](const FailureOf& fail) -> OpResult {
            const MappedPath mapped = mapPath(pattern);
            if (!mapped.ok()) return fail(FailedRule::OutsideDrive, mapped.error);
            const fs::path folder = mapped.path.parent_path();
            const std::string namePattern = lastComponent(pattern);
            // Files are named within the opened folder, which reaches them however deep it lies: a
            // file that a download could make there can always be deleted too.
            const Fd dir(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
            if (!dir.valid() && errno == ENOENT) {
                return systemFailure(fail, ENOENT, folder.string()).asNothingUndone();
            }
            if (!dir.valid()) return systemFailure(fail, errno, folder.string());
            std::error_code ec;
            fs::directory_iterator it(folder, ec);
            if (ec) return systemFailure(fail, ec.value(), folder.string());
            int matched = 0;
            int lastError = 0;
            std::string undeleted;
            for (fs::directory_iterator end; !ec && it != end; it.increment(ec)) {
                const std::string name = it->path().filename().string();
                // Followed: a link to a folder is a folder.
                struct stat info {};
                const bool isFolder =
                    ::fstatat(dir.get(), name.c_str(), &info, 0) == 0 && S_ISDIR(info.st_mode);
                if (isFolder || !matchesWildcard(namePattern, name)) continue;
                ++matched;
                if (::unlinkat(dir.get(), name.c_str(), 0) != 0) {
                    lastError = errno;
                    undeleted += (undeleted.empty() ? "" : "; ") + name + ": " + hostReason(errno);
                }
            }
            if (ec) return systemFailure(fail, ec.value(), folder.string());
            if (matched == 0) {
                return fail(FailedRule::NoFileMatches, "no file matches").asNothingUndone();
            }
            if (!undeleted.empty()) return fail(undeleted, ErrorCode::system(lastError));
            return fail.success();
        });
}

OpResult RemoveDir(std::string_view path) noexcept {
    return runOperation(
        calls::removeDir(path), kOutOfMemory, [&](const FailureOf& fail) -> OpResult {
            const MappedPath mapped = mapPath(path);
            if (!mapped.ok()) return fail(FailedRule::OutsideDrive, mapped.error);
            if (::rmdir(mapped.path.c_str()) != 0) {
                const int error = errno;
                OpResult failed = systemFailure(fail, error);
                const bool notEmpty = error == ENOTEMPTY || error == EEXIST;
                if (error == ENOENT || (notEmpty && holdsOnlyFolders(mapped.path))) {
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
        if (::mkdir(mapped.path.c_str(), 0755) != 0) {
            const int error = errno;
            std::error_code ec;
            if (error == EEXIST && fs::is_directory(mapped.path, ec)) {
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
            const MappedPath from = resolveSource(source);
            if (!from.ok()) return fail(FailedRule::OutsideDrive, from.error);
            Fd in;
            if (const int error = openForReading(from.path, in); error != 0) {
                return openFailure(fail, error, from.path);
            }
            struct stat sourceInfo {};
            if (::fstat(in.get(), &sourceInfo) != 0) return systemFailure(fail, errno);

            const MappedPath to = mapPath(destination);
            if (!to.ok()) return fail(FailedRule::OutsideDrive, to.error);
            const fs::path folder = to.path.parent_path();
            const std::string name = to.path.filename().string();
            struct stat existing {};
            if (::stat(to.path.c_str(), &existing) == 0) {
                if (S_ISDIR(existing.st_mode)) return systemFailure(fail, EISDIR, to.path.string());
                if (!S_ISREG(existing.st_mode)) return openFailure(fail, kNotRegular, to.path);
                if ((existing.st_mode & 0222) == 0) {
                    return fail(FailedRule::ReadOnlyDestination,
                                to.path.string() + " is read-only");
                }
            }
            Fd dir(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
            if (!dir.valid()) return systemFailure(fail, errno, folder.string());

            TemporaryFile out;
            if (const int error =
                    out.create(dir.get(), name, destinationMode(sourceInfo.st_mode, name));
                error != 0) {
                return systemFailure(fail, error, folder.string());
            }
            int error = copyBytes(in.get(), out.fd());
            if (error == 0) error = out.flushToDisk();
            if (error == 0) error = out.replaceTarget();
            if (error != 0) return systemFailure(fail, error, to.path.string());
            ::fsync(dir.get());  // makes the rename itself durable; the copy is complete either way
            return fail.success();
        });
}

OpResult FileLen(std::string_view path, std::int64_t& length) noexcept {
    return runOperation(calls::fileLen(path), kOutOfMemory, [&](const FailureOf& fail) -> OpResult {
        const MappedPath mapped = mapPathToFollow(path);
        if (!mapped.ok()) return fail(FailedRule::OutsideDrive, mapped.error);
        struct stat info {};
        if (::stat(mapped.path.c_str(), &info) != 0) return systemFailure(fail, errno);
        if (!S_ISREG(info.st_mode)) return openFailure(fail, kNotRegular, mapped.path);
        length = info.st_size;
        return fail.success();
    });
}

OpResult ReadSmallFile(std::string_view path, std::size_t maxBytes, std::string& bytes) noexcept {
    return runOperation(
        calls::readSmallFile(path), kOutOfMemory, [&](const FailureOf& fail) -> OpResult {
            Fd in;
            if (OpResult opened = openFileToRead(path, fail, in); !opened) return opened;
            // One byte more than allowed tells a file that is too long without reading the rest.
            std::string read(maxBytes + 1, '\0');
            std::size_t got = 0;
            while (got < read.size()) {
                const ssize_t n = ::read(in.get(), read.data() + got, read.size() - got);
                if (n == 0) break;
                if (n < 0) {
                    if (errno == EINTR) continue;
                    return systemFailure(fail, errno);
                }
                got += static_cast<std::size_t>(n);
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
    Fd fa, fb;
    if (openForReading(a.path, fa) != 0 || openForReading(b.path, fb) != 0) return false;
    std::vector<char> bufferA(1 << 20), bufferB(1 << 20);
    for (;;) {
        const ssize_t gotA = ::read(fa.get(), bufferA.data(), bufferA.size());
        ssize_t gotB = 0;
        while (gotB < gotA) {
            const ssize_t more =
                ::read(fb.get(), bufferB.data() + gotB, static_cast<size_t>(gotA - gotB));
            if (more <= 0) return false;
            gotB += more;
        }
        if (gotA < 0) return false;
        if (!std::equal(bufferA.begin(), bufferA.begin() + gotA, bufferB.begin())) return false;
        if (gotA == 0) return ::read(fb.get(), bufferB.data(), 1) == 0;
    }
} catch (const std::exception&) {
    return false;
}

}  // namespace pulsaro
