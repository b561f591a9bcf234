#include "partial_file.h"

#include "temporary_files.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <system_error>

namespace fs = std::filesystem;

namespace pulsaro {

PartialFile::~PartialFile() {
    discard();
}

int PartialFile::open(const fs::path& target) {
    discard();
    target_ = target;
    const std::string targetName = target.filename().string();
    folder_ = ::open(target.parent_path().c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folder_ < 0) return errno;
    removeAbandonedTemporaries(target.parent_path(), targetName);
    temporaryName_ = newTemporaryName(targetName, "d");
    fd_ = ::openat(folder_, temporaryName_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd_ < 0) {
        const int error = errno;
        temporaryName_.clear();
        return error;
    }
    size_ = 0;
    return 0;
}

int PartialFile::append(const char* data, std::size_t size) {
    for (std::size_t done = 0; done < size;) {
        const ssize_t put = ::write(fd_, data + done, size - done);
        if (put < 0) {
            if (errno == EINTR) continue;
            return errno;
        }
        done += static_cast<std::size_t>(put);
    }
    size_ += static_cast<std::int64_t>(size);
    return 0;
}

// Not flushed to the disk: the downloaded file only ever feeds a copy that is flushed itself
// before it replaces anything that matters, and each update run deletes it before downloading
// again. Flushing here would hold the transfer to the disk's speed instead of the network's.
int PartialFile::commit() {
    const int closed = ::close(fd_);
    fd_ = -1;
    if (closed != 0) return errno;
    if (::renameat(folder_, temporaryName_.c_str(), folder_, target_.filename().c_str()) != 0) {
        return errno;
    }
    temporaryName_.clear();
    return 0;
}

void PartialFile::discard() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
    if (!temporaryName_.empty()) ::unlinkat(folder_, temporaryName_.c_str(), 0);
    temporaryName_.clear();
    if (folder_ >= 0) ::close(folder_);
    folder_ = -1;
}

}  // namespace pulsaro
