#include "drive.h"
#include "fd.h"
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
    Fd folder;  // declared before the file, which needs it until it goes
    TemporaryFile file;
};

PartialFile::PartialFile() = default;
PartialFile::~PartialFile() = default;

OpResult PartialFile::open(std::string_view windowsTarget) {
    const FailureOf fail("open", inQuotes(windowsTarget));
    state_ = std::make_unique<State>();
    size_ = 0;
    const MappedPath mapped = mapPath(windowsTarget);
    if (!mapped.ok()) return fail(FailedRule::OutsideDrive, mapped.error);
    State& s = *state_;
    s.target = mapped.path;
    struct stat existing {};
    if (::stat(s.target.c_str(), &existing) == 0 && !S_ISREG(existing.st_mode)) {
        return fail(FailedRule::NotARegularFile, s.target.string() + " is not a file");
    }
    s.folder.reset(::open(s.target.parent_path().c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!s.folder.valid()) return systemFailure(fail, errno, s.target.string());
    if (const int error = s.file.create(s.folder.get(), s.target.filename().string(), 0666);
        error != 0) {
        return systemFailure(fail, error, s.target.string());
    }
    return OpResult::success();
}

OpResult PartialFile::append(const char* data, std::size_t size) {
    State& s = *state_;
    for (std::size_t done = 0; done < size;) {
        const ssize_t put = ::write(s.file.fd(), data + done, size - done);
        if (put < 0) {
            if (errno == EINTR) continue;
            return systemFailure(FailureOf("write", inQuotes(s.target.string())), errno,
                                 s.target.string());
        }
        done += static_cast<std::size_t>(put);
    }
    size_ += static_cast<std::int64_t>(size);
    return OpResult::success();
}

// Not flushed to the disk: the downloaded file only ever feeds a copy that is flushed itself
// before it replaces anything that matters, and each update run deletes it before downloading
// again. Flushing here would hold the transfer to the disk's speed instead of the network's.
OpResult PartialFile::commit() {
    State& s = *state_;
    if (const int error = s.file.replaceTarget(); error != 0) {
        return systemFailure(FailureOf("commit", inQuotes(s.target.string())), error,
                             s.target.string());
    }
    return OpResult::success();
}

}  // namespace pulsaro
