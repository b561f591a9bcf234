#include "host_faults.h"

#include <fcntl.h>
#include <grp.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/mount.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <stdexcept>

namespace fs = std::filesystem;

namespace pulsaro::test {

TmpfsMount::~TmpfsMount() {
    if (mounted_.empty()) return;
    if (::umount2(mounted_.c_str(), 0) != 0) ::umount2(mounted_.c_str(), MNT_DETACH);
}

std::string TmpfsMount::mount(const fs::path& folder, std::size_t kibibytes) {
    const std::string options = "size=" + std::to_string(kibibytes) + "k,mode=0755";
    if (::mount("tmpfs", folder.c_str(), "tmpfs", MS_NOSUID | MS_NODEV, options.c_str()) != 0) {
        return std::strerror(errno);
    }
    mounted_ = folder;
    return {};
}

bool asOrdinaryUser(const std::function<bool()>& check) {
    if (::geteuid() != 0) return check();
    const pid_t child = ::fork();
    if (child == 0) {
        constexpr uid_t kNobody = 65534;
        const bool dropped =
            ::setgroups(0, nullptr) == 0 && ::setgid(kNobody) == 0 && ::setuid(kNobody) == 0;
        ::_exit(dropped ? (check() ? 0 : 1) : 2);
    }
    int status = 0;
    while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    if (!WIFEXITED(status) || WEXITSTATUS(status) == 2) {
        throw std::runtime_error("the child could not give up root");
    }
    return WEXITSTATUS(status) == 0;
}

void makeUnreadableByIoError(const fs::path& where) {
    // Offset 0 of a process's memory is never mapped: reading there fails with EIO.
    fs::create_symlink("/proc/self/mem", where);
}

void makeFifo(const fs::path& where, fs::perms mode) {
    if (::mkfifo(where.c_str(), static_cast<mode_t>(mode)) != 0) {
        throw std::runtime_error("mkfifo " + where.string() + ": " + std::strerror(errno));
    }
    fs::permissions(where, mode);
}

void makeSocketFile(const fs::path& where) {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (where.string().size() >= sizeof address.sun_path) throw std::runtime_error("path too long");
    std::strcpy(address.sun_path, where.c_str());
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    const bool bound = ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    ::close(fd);
    if (!bound) throw std::runtime_error("cannot bind " + where.string());
}

FifoWatchdog::FifoWatchdog(fs::path fifo, std::chrono::seconds patience)
    : thread_([this, fifo = std::move(fifo), patience] { watch(fifo, patience); }) {}

FifoWatchdog::~FifoWatchdog() {
    stop();
}

bool FifoWatchdog::stop() {
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        stopping_ = true;
    }
    stopped_.notify_all();
    if (thread_.joinable()) thread_.join();
    return steppedIn_;
}

void FifoWatchdog::watch(fs::path fifo, std::chrono::seconds patience) {
    std::unique_lock<std::mutex> lock(mutex_);
    if (stopped_.wait_for(lock, patience, [this] { return stopping_; })) return;
    // Opening for writing without blocking works only while someone has it open for reading.
    while (!stopped_.wait_for(lock, std::chrono::milliseconds(50), [this] { return stopping_; })) {
        const int fd = ::open(fifo.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0) continue;
        ::close(fd);
        steppedIn_ = true;
    }
}

ImmutableFile::~ImmutableFile() {
    if (file_.empty()) return;
    const int fd = ::open(file_.c_str(), O_RDONLY | O_CLOEXEC);
    int flags = 0;
    if (fd >= 0 && ::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0) {
        flags &= ~FS_IMMUTABLE_FL;
        ::ioctl(fd, FS_IOC_SETFLAGS, &flags);
    }
    if (fd >= 0) ::close(fd);
}

std::string ImmutableFile::set(const fs::path& file) {
    const int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return std::strerror(errno);
    int flags = 0;
    std::string refused;
    if (::ioctl(fd, FS_IOC_GETFLAGS, &flags) != 0) {
        refused = std::strerror(errno);
    } else {
        flags |= FS_IMMUTABLE_FL;
        if (::ioctl(fd, FS_IOC_SETFLAGS, &flags) != 0) refused = std::strerror(errno);
    }
    ::close(fd);
    if (refused.empty()) file_ = file;
    return refused;
}

}  // namespace pulsaro::test
