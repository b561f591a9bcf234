#include "request_timeout.h"

#include <algorithm>
#include <string>

namespace pulsaro {
namespace {

// A duration as a user reads it: "60 s", or "1500 ms" when it is not whole seconds.
std::string readable(std::chrono::milliseconds duration) {
    if (duration.count() % 1000 == 0) return std::to_string(duration.count() / 1000) + " s";
    return std::to_string(duration.count()) + " ms";
}

}  // namespace

RequestTimeout::RequestTimeout(std::chrono::milliseconds timeout, Clock::time_point start)
    : timeout_(timeout), lastHeard_(start) {}

void RequestTimeout::replyArrived(Clock::time_point now) {
    lastHeard_ = now;
}

void RequestTimeout::bytesArrived(std::size_t count, Clock::time_point now) {
    lastHeard_ = now;
    if (!stretchStart_) stretchStart_ = now;
    stretchBytes_ += static_cast<std::int64_t>(count);
}

std::int64_t RequestTimeout::floorBytes() const {
    return kFloorBytesPerSecond * timeout_.count() / 1000;
}

// A stretch is measured when the transport looks, which may be a little after it ended: the
// bytes of that little while count towards it, and the floor is that of one time-out, so a
// transfer at the floor always meets it.
std::optional<OpResult> RequestTimeout::check(Clock::time_point now, const FailureOf& failure) {
    if (now - lastHeard_ >= timeout_) {
        return failure(FailedRule::TimedOut,
                       "nothing came from the server for " + readable(timeout_));
    }
    if (!stretchStart_ || dataEnded_ || now - *stretchStart_ < timeout_) return std::nullopt;
    if (stretchBytes_ < floorBytes()) {
        return failure(FailedRule::TooSlow, "the server sent only " +
                                                std::to_string(stretchBytes_) +
                                                " bytes in the last " + readable(timeout_));
    }
    stretchStart_ = now;
    stretchBytes_ = 0;
    return std::nullopt;
}

std::chrono::milliseconds RequestTimeout::checkPeriod(std::chrono::milliseconds timeout) {
    using std::chrono::milliseconds;
    return std::clamp(timeout / 10, milliseconds(10), milliseconds(1000));
}

}  // namespace pulsaro
