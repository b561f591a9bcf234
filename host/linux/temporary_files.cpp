#include "temporary_files.h"

#include <dirent.h>
#include <fcntl.h>
#include <limits.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace pulsaro {
namespace {

constexpr int kTerminationSignals[] = {SIGTERM, SIGINT, SIGHUP};

// The files the program removes when it is ended. A signal handler may run on any thread, so the
// list is only read or changed by whoever owns removalListBusy; a thread that owns it outside a
// handler has the termination signals blocked, so that its own handler cannot wait on it.
struct RemovalSlot {
    int folder = -1;
    std::array<char, NAME_MAX + 1> name{};
    bool used = false;
};
std::array<RemovalSlot, 16> removalSlots;
std::atomic<bool> removalListBusy{false};
static_assert(std::atomic<bool>::is_always_lock_free, "the signal handler needs a lock-free flag");

class TerminationSignalsBlocked {
  public:
    TerminationSignalsBlocked() {
        sigset_t set;
        sigemptyset(&set);
        for (int signal : kTerminationSignals) sigaddset(&set, signal);
        pthread_sigmask(SIG_BLOCK, &set, &previous_);
    }
    ~TerminationSignalsBlocked() { pthread_sigmask(SIG_SETMASK, &previous_, nullptr); }
    TerminationSignalsBlocked(const TerminationSignalsBlocked&) = delete;
    TerminationSignalsBlocked& operator=(const TerminationSignalsBlocked&) = delete;

  private:
    sigset_t previous_;
};

template <typename Change>
void changeRemovalList(Change change) {
    const TerminationSignalsBlocked blocked;
    while (removalListBusy.exchange(true, std::memory_order_acquire)) {
    }
    change();
    removalListBusy.store(false, std::memory_order_release);
}

// Only async-signal-safe calls: it runs in signal handlers.
void removeOwnFiles() {
    const int savedErrno = errno;
    while (removalListBusy.exchange(true, std::memory_order_acquire)) {
    }
    for (RemovalSlot& slot : removalSlots) {
        if (slot.used) ::unlinkat(slot.folder, slot.name.data(), 0);
        slot.used = false;
    }
    removalListBusy.store(false, std::memory_order_release);
    errno = savedErrno;
}

extern "C" void endOnTerminationSignal(int signal) {
    removeOwnFiles();
    // The handler was reset to the default on entry: the signal now ends the program.
    ::raise(signal);
}

extern "C" void endOnExit() {
    const TerminationSignalsBlocked blocked;
    removeOwnFiles();
}

std::string temporaryPrefix(const std::string& targetName) {
    return "." + targetName + ".partial-";
}

std::string newTemporaryName(const std::string& targetName) {
    static unsigned counter = 0;
    return temporaryPrefix(targetName) + std::to_string(::getpid()) + "-" +
           std::to_string(++counter);
}

int lockOrWait(int fd) {
    while (::flock(fd, LOCK_EX) != 0) {
        if (errno != EINTR) return errno;
    }
    return 0;
}

bool sameFile(const struct stat& a, const struct stat& b) {
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

// A temporary file whose lock can be taken has no writer left; one still locked is in use.
void removeIfAbandoned(int folder, const char* name) {
    const int fd = ::openat(folder, name, O_RDONLY | O_NONBLOCK | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) return;
    struct stat opened {};
    struct stat named {};
    if (::fstat(fd, &opened) == 0 && S_ISREG(opened.st_mode) &&
        ::flock(fd, LOCK_EX | LOCK_NB) == 0 &&
        ::fstatat(folder, name, &named, AT_SYMLINK_NOFOLLOW) == 0 && sameFile(opened, named)) {
        ::unlinkat(folder, name, 0);
    }
    ::close(fd);
}

void removeAbandonedTemporaries(int folder, const std::string& targetName) {
    const int listing = ::openat(folder, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (listing < 0) return;
    DIR* dir = ::fdopendir(listing);
    if (!dir) {
        ::close(listing);
        return;
    }
    const std::string prefix = temporaryPrefix(targetName);
    while (const dirent* entry = ::readdir(dir)) {
        if (std::strncmp(entry->d_name, prefix.c_str(), prefix.size()) == 0) {
            removeIfAbandoned(folder, entry->d_name);
        }
    }
    ::closedir(dir);
}

// Whether openat refused O_TMPFILE because the kernel or the file system has no unnamed files.
bool unnamedFilesUnsupported(int error) {
    return error == EOPNOTSUPP || error == EISDIR || error == EINVAL;
}

}  // namespace

void RemovedOnTermination::watch(int folder, const std::string& name) {
    forget();
    if (name.size() >= NAME_MAX + 1) return;  // no such name exists; nothing to remove
    changeRemovalList([&] {
        for (std::size_t i = 0; i < removalSlots.size(); ++i) {
            RemovalSlot& slot = removalSlots[i];
            if (slot.used) continue;
            slot.folder = folder;
            std::memcpy(slot.name.data(), name.c_str(), name.size() + 1);
            slot.used = true;
            slot_ = static_cast<int>(i);
            return;
        }
    });
}

void RemovedOnTermination::forget() {
    if (slot_ < 0) return;
    changeRemovalList([&] { removalSlots[static_cast<std::size_t>(slot_)].used = false; });
    slot_ = -1;
}

void endCleanlyOnExitAndTerminationSignals() {
    std::atexit(endOnExit);
    struct sigaction action {};
    action.sa_handler = endOnTerminationSignal;
    sigemptyset(&action.sa_mask);
    for (int signal : kTerminationSignals) sigaddset(&action.sa_mask, signal);
    action.sa_flags = SA_RESETHAND;
    for (int signal : kTerminationSignals) ::sigaction(signal, &action, nullptr);
}

void defaultTerminationSignals() {
    for (int signal : kTerminationSignals) ::signal(signal, SIG_DFL);
}

TemporaryFile::~TemporaryFile() {
    discard();
}

int TemporaryFile::create(int folder, const std::string& targetName, mode_t mode) {
    removeAbandonedTemporaries(folder, targetName);
    const int fd = ::openat(folder, ".", O_TMPFILE | O_WRONLY | O_CLOEXEC, mode);
    if (fd < 0) {
        return unnamedFilesUnsupported(errno) ? createNamed(folder, targetName, mode) : errno;
    }
    folder_ = folder;
    fd_ = fd;
    targetName_ = targetName;
    // Nobody else can have it yet; held so that its name, once it has one, is never taken for
    // abandoned.
    return lockOrWait(fd_);
}

int TemporaryFile::createNamed(int folder, const std::string& targetName, mode_t mode) {
    folder_ = folder;
    targetName_ = targetName;
    for (;;) {
        std::string name = newTemporaryName(targetName);
        const int fd =
            ::openat(folder, name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
        if (fd < 0) {
            if (errno == EEXIST) continue;
            return errno;
        }
        fd_ = fd;
        name_ = std::move(name);
        removal_.watch(folder_, name_);
        if (const int error = lockOrWait(fd_); error != 0) {
            discard();
            return error;
        }
        // Another writer may have found it unlocked, taken it for abandoned and removed it in the
        // moment before the lock: then start again under a new name.
        struct stat info {};
        if (::fstat(fd_, &info) == 0 && info.st_nlink > 0) return 0;
        discard();
    }
}

int TemporaryFile::linkIntoFolder() {
    for (;;) {
        std::string name = newTemporaryName(targetName_);
        removal_.watch(folder_, name);
        const std::string self = "/proc/self/fd/" + std::to_string(fd_);
        int linked = ::linkat(AT_FDCWD, self.c_str(), folder_, name.c_str(), AT_SYMLINK_FOLLOW);
        if (linked != 0 && errno == ENOENT) {  // no /proc: a privileged process may still link
            linked = ::linkat(fd_, "", folder_, name.c_str(), AT_EMPTY_PATH);
        }
        if (linked == 0) {
            name_ = std::move(name);
            return 0;
        }
        if (errno != EEXIST) {
            const int error = errno;
            removal_.forget();
            return error;
        }
    }
}

int TemporaryFile::flushToDisk() {
    return ::fsync(fd_) == 0 ? 0 : errno;
}

int TemporaryFile::replaceTarget() {
    // Closing a duplicate makes a network file system report a failed write-back now, before
    // the file takes anything's place.
    const int duplicate = ::dup(fd_);
    int error = duplicate < 0 || ::close(duplicate) != 0 ? errno : 0;
    if (error == 0 && name_.empty()) error = linkIntoFolder();
    if (error == 0 && ::renameat(folder_, name_.c_str(), folder_, targetName_.c_str()) != 0) {
        error = errno;
    }
    if (error != 0) {
        discard();
        return error;
    }
    removal_.forget();
    name_.clear();
    ::close(fd_);
    fd_ = -1;
    return 0;
}

void TemporaryFile::discard() {
    if (!name_.empty()) ::unlinkat(folder_, name_.c_str(), 0);
    removal_.forget();
    name_.clear();
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
}

}  // namespace pulsaro
