#include "drive.h"
#include "host.h"
#include "system_error.h"
#include "temporary_files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace fs = std::filesystem;

namespace pulsaro {

struct PartialFile::State {
    fs::path target;
    std::string temporaryName;
    int folder = -1;
    int fd = -1;
    std::int64_t size = 0;

    State() = default;
    State(const State&) = delete;
    State& operator=(const State&) = delete;
    ~State() {
        if (fd >= 0) ::close(fd);
        if (!temporaryName.empty()) ::unlinkat(folder, temporaryName.c_str(), 0);
        if (folder >= 0) ::close(folder);
    }
};

PartialFile::PartialFile() = default;
PartialFile::~PartialFile() = default;

OpResult PartialFile::open(std::string_view windowsTarget) {
    const FailureOf fail("open", inQuotes(windowsTarget));
    state_ = std::make_unique<State>();
    const HostPath resolved = resolvePath(windowsTarget);
    if (!resolved.ok()) return fail(FailedRule::OutsideDrive, resolved.error);
    State& s = *state_;
    s.target = resolved.path;
    struct stat existing {};
    if (::stat(s.target.c_str(), &existing) == 0 && !S_ISREG(existing.st_mode)) {
        return fail(FailedRule::NotARegularFile, s.target.string() + " is not a file");
    }
    const fs::path folder = s.target.parent_path();
    const std::string targetName = s.target.filename().string();
    s.folder = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (s.folder < 0) return systemFailure(fail, errno, s.target.string());
    removeAbandonedTemporaries(folder, targetName);
    std::string temporary = newTemporaryName(targetName, "d");
    s.fd = ::openat(s.folder, temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (s.fd < 0) return systemFailure(fail, errno, s.target.string());
    s.temporaryName = std::move(temporary);
    return OpResult::success();
}

OpResult PartialFile::append(const char* data, std::size_t size) {
    State& s = *state_;
    for (std::size_t done = 0; done < size;) {
        const ssize_t put = ::write(s.fd, data + done, size - done);
        if (put < 0) {
            if (errno == EINTR) continue;
            return systemFailure(FailureOf("write", inQuotes(s.target.string())), errno,
                                 s.target.string());
        }
        done += static_cast<std::size_t>(put);
    }
    s.size += static_cast<std::int64_t>(size);
    return OpResult::success();
}

// Not flushed to the disk: the downloaded file only ever feeds a copy that is flushed itself
// before it replaces anything that matters, and each update run deletes it before downloading
// again. Flushing here would hold the transfer to the disk's speed instead of the network's.
OpResult PartialFile::commit() {
    State& s = *state_;
    const FailureOf fail("commit", inQuotes(s.target.string()));
    const int closed = ::close(s.fd);
    s.fd = -1;
    if (closed != 0) return systemFailure(fail, errno, s.target.string());
    if (::renameat(s.folder, s.temporaryName.c_str(), s.folder, s.target.filename().c_str()) != 0) {
        return systemFailure(fail, errno, s.target.string());
    }
    s.temporaryName.clear();
    return OpResult::success();
}

std::int64_t PartialFile::size() const {
    return state_ ? state_->size : 0;
}

}  // namespace pulsaro
