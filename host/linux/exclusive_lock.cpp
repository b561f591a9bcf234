#include "drive.h"
#include "fd.h"
#include "host.h"
#include "operation_calls.h"
#include "system_error.h"
#include "temporary_files.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>

#include <cerrno>

namespace fs = std::filesystem;

namespace pulsaro {

// The lock is an flock on the lock file. A holder removes the file before it lets go, so a
// waiter may be granted the lock of a file that is no longer there; it then starts again with
// the file now at the path.
struct ExclusiveLock::State {
    Fd folder;
    Fd file;
    std::string name;
    RemovedOnTermination removal;
};

ExclusiveLock::ExclusiveLock() = default;

ExclusiveLock::~ExclusiveLock() {
    release();
}

namespace {

// Whether the open lock file is still the one at its name.
bool stillNamed(int folder, const std::string& name, int file) {
    struct stat opened {};
    struct stat named {};
    return ::fstat(file, &opened) == 0 &&
           ::fstatat(folder, name.c_str(), &named, AT_SYMLINK_NOFOLLOW) == 0 &&
           opened.st_dev == named.st_dev && opened.st_ino == named.st_ino;
}

}  // namespace

OpResult ExclusiveLock::acquire(std::string_view windowsPath) {
    release();
    const FailureOf fail = calls::exclusiveLock(windowsPath);
    const MappedPath mapped = mapPath(windowsPath);
    if (!mapped.ok()) return fail(FailedRule::OutsideDrive, mapped.error);
    auto state = std::make_unique<State>();
    state->name = mapped.path.filename().string();
    const fs::path folder = mapped.path.parent_path();
    state->folder.reset(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!state->folder.valid()) return systemFailure(fail, errno, folder.string());
    for (;;) {
        // Never follows a link, never waits on a FIFO: only a regular file can be the lock.
        state->file.reset(::openat(state->folder.get(), state->name.c_str(),
                                   O_RDONLY | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0666));
        if (!state->file.valid()) return systemFailure(fail, errno, mapped.path.string());
        struct stat info {};
        if (::fstat(state->file.get(), &info) != 0) return systemFailure(fail, errno);
        if (!S_ISREG(info.st_mode)) {
            return fail(FailedRule::NotARegularFile, mapped.path.string() + " is not a file");
        }
        while (::flock(state->file.get(), LOCK_EX) != 0) {
            if (errno != EINTR) return systemFailure(fail, errno, mapped.path.string());
        }
        if (stillNamed(state->folder.get(), state->name, state->file.get())) break;
    }
    state->removal.watch(state->folder.get(), state->name);
    state_ = std::move(state);
    return fail.success();
}

void ExclusiveLock::release() {
    if (!state_) return;
    // Removed while still held, so that nobody can take a lock on it that is about to vanish.
    ::unlinkat(state_->folder.get(), state_->name.c_str(), 0);
    state_.reset();
}

}  // namespace pulsaro
