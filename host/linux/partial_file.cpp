#include "partial_file.h"

#include "drive.h"
#include "system_error.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace pulsaro {

OpResult PartialFile::HostFile::create(std::string_view windowsTarget, const FailureOf& fail) {
    const MappedPath mapped = mapPath(windowsTarget);
    if (!mapped.ok()) return fail(FailedRule::OutsideDrive, mapped.error);
    target_ = mapped.path;
    struct stat existing {};
    if (::stat(target_.c_str(), &existing) == 0 && !S_ISREG(existing.st_mode)) {
        return fail(FailedRule::NotARegularFile, target_.string() + " is not a file");
    }
    folder_.reset(::open(target_.parent_path().c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!folder_.valid()) return systemFailure(fail, errno, target_.string());
    if (const int error = file_.create(folder_.get(), target_.filename().string(), 0666);
        error != 0) {
        return systemFailure(fail, error, target_.string());
    }
    return OpResult::success();
}

OpResult PartialFile::HostFile::write(const char* data, std::size_t size) {
    for (std::size_t done = 0; done < size;) {
        const ssize_t put = ::write(file_.fd(), data + done, size - done);
        if (put < 0) {
            if (errno == EINTR) continue;
            return systemFailure(FailureOf("write", inQuotes(target_.string())), errno,
                                 target_.string());
        }
        done += static_cast<std::size_t>(put);
    }
    return OpResult::success();
}

OpResult PartialFile::HostFile::replaceTarget() {
    if (const int error = file_.replaceTarget(); error != 0) {
        return systemFailure(FailureOf("commit", inQuotes(target_.string())), error,
                             target_.string());
    }
    return OpResult::success();
}

}  // namespace pulsaro
