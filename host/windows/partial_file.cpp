#include "drive.h"
#include "host.h"
#include "system_error.h"
#include "temporary_files.h"
#include "wide.h"

namespace pulsaro {

struct PartialFile::State {
    std::wstring target;
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
    state_->target = mapped.path;
    // Refused before a byte arrives, not when the download would replace it.
    const DWORD existing = GetFileAttributesW(mapped.path.c_str());
    if (existing != INVALID_FILE_ATTRIBUTES && (existing & FILE_ATTRIBUTE_DIRECTORY)) {
        return fail(FailedRule::NotARegularFile, narrow(mapped.path) + " is not a file");
    }
    if (const DWORD error = state_->file.create(mapped.path, TemporaryWriter::Download)) {
        return systemFailure(fail, error, narrow(mapped.path));
    }
    return OpResult::success();
}

OpResult PartialFile::append(const char* data, std::size_t size) {
    State& s = *state_;
    if (const DWORD error = s.file.write(data, size)) {
        return systemFailure(FailureOf("write", inQuotes(narrow(s.target))), error,
                             narrow(s.target));
    }
    size_ += static_cast<std::int64_t>(size);
    return OpResult::success();
}

// Not flushed to the disk: the downloaded file only ever feeds a copy that is flushed itself
// before it replaces anything that matters, and each update run deletes it before downloading
// again. Flushing here would hold the transfer to the disk's speed instead of the network's.
OpResult PartialFile::commit() {
    State& s = *state_;
    if (const DWORD error = s.file.replaceTarget()) {
        return systemFailure(FailureOf("commit", inQuotes(narrow(s.target))), error,
                             narrow(s.target));
    }
    return OpResult::success();
}

}  // namespace pulsaro
