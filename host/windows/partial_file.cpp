#include "partial_file.h"

#include "drive.h"
#include "system_error.h"
#include "wide.h"

namespace pulsaro {

OpResult PartialFile::HostFile::create(std::string_view windowsTarget, const FailureOf& fail) {
    const MappedPath mapped = mapPath(windowsTarget);
    if (!mapped.ok()) return fail(FailedRule::OutsideDrive, mapped.error);
    target_ = mapped.path;
    // Refused before a byte arrives, not when the download would replace it.
    const DWORD existing = GetFileAttributesW(target_.c_str());
    if (existing != INVALID_FILE_ATTRIBUTES && (existing & FILE_ATTRIBUTE_DIRECTORY)) {
        return fail(FailedRule::NotARegularFile, narrow(target_) + " is not a file");
    }
    if (const DWORD error = file_.create(target_, TemporaryWriter::Download)) {
        return systemFailure(fail, error, narrow(target_));
    }
    return OpResult::success();
}

OpResult PartialFile::HostFile::write(const char* data, std::size_t size) {
    if (const DWORD error = file_.write(data, size)) {
        return systemFailure(FailureOf("write", inQuotes(narrow(target_))), error, narrow(target_));
    }
    return OpResult::success();
}

OpResult PartialFile::HostFile::replaceTarget() {
    if (const DWORD error = file_.replaceTarget()) {
        return systemFailure(FailureOf("commit", inQuotes(narrow(target_))), error,
                             narrow(target_));
    }
    return OpResult::success();
}

}  // namespace pulsaro
