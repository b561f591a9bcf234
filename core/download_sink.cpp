#include "download_sink.h"

#include "ftp_reply.h"

#include <string>

namespace pulsaro {
namespace {

OpResult longerThanStated(const FailureOf& failure, std::int64_t stated) {
    return failure(FailedRule::LongerThanAnnounced,
                   "the server sent more than the " + std::to_string(stated) + " bytes it stated");
}

}  // namespace

OpResult DownloadSink::open(std::string_view windowsTarget) {
    const OpResult opened = file_->open(windowsTarget);
    if (!opened) return failure_(opened.reason(), opened.code());
    return OpResult::success();
}

bool DownloadSink::serverReplied(std::string_view line) {
    const StatedSize stated = sizeStatedIn(line);
    switch (stated.kind) {
        case StatedSize::Kind::None:
            break;
        case StatedSize::Kind::Size:
            return sizeStated(stated.bytes);
        case StatedSize::Kind::Unreadable:
            if (!problem_) {
                problem_ = failure_(FailedRule::UnreadableSize,
                                    "the server stated a size that cannot be read");
            }
            break;
    }
    return !problem_;
}

bool DownloadSink::sizeStated(std::int64_t length) {
    if (problem_) return false;
    if (stated_ && *stated_ != length) {
        problem_ = failure_(FailedRule::SizesDisagree, "the server stated both " +
                                                           std::to_string(*stated_) + " and " +
                                                           std::to_string(length) + " bytes");
    } else if (file_->size() > length) {
        problem_ = longerThanStated(failure_, length);
    } else {
        largerThanAllowed(length);
    }
    stated_ = length;
    return !problem_;
}

bool DownloadSink::largerThanAllowed(std::int64_t length) {
    if (largest_ && length > *largest_) {
        problem_ = failure_(FailedRule::LargerThanAllowed, "the file is larger than the " +
                                                               std::to_string(*largest_) +
                                                               " bytes this request accepts");
    }
    return problem_.has_value();
}

bool DownloadSink::add(const char* data, std::size_t size) {
    if (problem_) return false;
    if (stated_ && file_->size() + static_cast<std::int64_t>(size) > *stated_) {
        problem_ = longerThanStated(failure_, *stated_);
        return false;
    }
    if (largerThanAllowed(file_->size() + static_cast<std::int64_t>(size))) return false;
    if (const OpResult appended = file_->append(data, size); !appended) {
        problem_ = failure_(appended.reason(), appended.code());
        return false;
    }
    return true;
}

OpResult DownloadSink::commitUnconfirmed(const OpResult& why) {
    if (problem_) return *problem_;
    if (!stated_ || *stated_ != file_->size()) return why;
    return commit();
}

OpResult DownloadSink::commit() {
    if (problem_) return *problem_;
    if (stated_ && *stated_ != file_->size()) {
        return failure_(FailedRule::ShorterThanAnnounced,
                        "received " + std::to_string(file_->size()) + " of the " +
                            std::to_string(*stated_) + " bytes stated");
    }
    const OpResult committed = file_->commit();
    if (!committed) return failure_(committed.reason(), committed.code());
    return OpResult::success();
}

}  // namespace pulsaro
