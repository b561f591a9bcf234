#pragma once

#include "op_result.h"

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>

namespace pulsaro {

// The request time-out of one transfer request, the same on every host. Two rules end a request:
// - silence: nothing came from the server, neither a reply line nor a byte of the file, for one
//   whole time-out (TimedOut). This bounds connecting, the login, every wait for a reply and the
//   wait for the final reply after the data.
// - trickle: while the file's bytes flow (from the first byte until the data connection ends),
//   each stretch of one time-out must bring at least the floor, 1 KiB per second of time-out;
//   fewer fails the request (TooSlow). A transfer at or above the floor, however long, is never
//   cut, and a hostile trickle is cut within about one time-out.
// The transport reports what arrives and asks now and then whether the request has failed; every
// moment is the transport's reading of the steady clock, passed in, so that tests can pass theirs.
class RequestTimeout {
  public:
    using Clock = std::chrono::steady_clock;
    static constexpr std::int64_t kFloorBytesPerSecond = 1024;

    RequestTimeout(std::chrono::milliseconds timeout, Clock::time_point start);

    void replyArrived(Clock::time_point now);
    void bytesArrived(std::size_t count, Clock::time_point now);
    // The data connection ended: from now on only silence counts.
    void dataEnded() { dataEnded_ = true; }

    // The failure the request ends with at `now`, if one of the rules ends it.
    std::optional<OpResult> check(Clock::time_point now, const FailureOf& failure);

    // How often a transport asks: a tenth of the time-out, so that a request ends at most that
    // much late, between 10 ms and 1 s.
    static std::chrono::milliseconds checkPeriod(std::chrono::milliseconds timeout);

  private:
    std::int64_t floorBytes() const;

    std::chrono::milliseconds timeout_;
    Clock::time_point lastHeard_;
    std::optional<Clock::time_point> stretchStart_;  // set by the file's first byte
    std::int64_t stretchBytes_ = 0;
    bool dataEnded_ = false;
};

}  // namespace pulsaro
