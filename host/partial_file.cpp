// The part of PartialFile that is alike on every host; each host's partial_file.h gives its
// HostFile.

#include "partial_file.h"
#include "host.h"

namespace pulsaro {

PartialFile::PartialFile() = default;
PartialFile::~PartialFile() = default;

OpResult PartialFile::open(std::string_view windowsTarget) {
    file_ = std::make_unique<HostFile>();
    size_ = 0;
    return file_->create(windowsTarget, FailureOf("open", inQuotes(windowsTarget)));
}

OpResult PartialFile::append(const char* data, std::size_t size) {
    if (OpResult written = file_->write(data, size); !written) return written;
    size_ += static_cast<std::int64_t>(size);
    return OpResult::success();
}

// Not flushed to the disk: the downloaded file only ever feeds a copy that is flushed itself
// before it replaces anything that matters, and each update run deletes it before downloading
// again. Flushing here would hold the transfer to the disk's speed instead of the network's.
OpResult PartialFile::commit() {
    return file_->replaceTarget();
}

}  // namespace pulsaro
