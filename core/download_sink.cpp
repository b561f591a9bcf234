#include "download_sink.h"

#include <string>

namespace pulsaro {

OpResult DownloadSink::open(std::string_view windowsTarget) {
    const OpResult opened = file_.open(windowsTarget);
    if (!opened) return failure_(opened.reason(), opened.code());
    return OpResult::success();
}

void DownloadSink::announceLength(std::int64_t length) {
    announced_ = length;
}

bool DownloadSink::add(const char* data, std::size_t size) {
    if (problem_) return false;
    if (announced_ && file_.size() + static_cast<std::int64_t>(size) > *announced_) {
        problem_ = failure_(
            FailedRule::LongerThanAnnounced,
            "the server sent more than the " + std::to_string(*announced_) + " bytes it announced");
        return false;
    }
    if (const OpResult appended = file_.append(data, size); !appended) {
        problem_ = failure_(appended.reason(), appended.code());
        return false;
    }
    return true;
}

OpResult DownloadSink::commit() {
    if (problem_) return *problem_;
    if (announced_ && *announced_ != file_.size()) {
        return failure_(FailedRule::ShorterThanAnnounced,
                        "received " + std::to_string(file_.size()) + " of the " +
                            std::to_string(*announced_) + " bytes announced");
    }
    const OpResult committed = file_.commit();
    if (!committed) return failure_(committed.reason(), committed.code());
    return OpResult::success();
}

}  // namespace pulsaro
