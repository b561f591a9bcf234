// The request time-out's rules on a clock the test moves: silence and the trickle floor.

#include "request_timeout.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstddef>
#include <optional>
#include <string>
#include <vector>

namespace pulsaro {
namespace {

using namespace std::chrono_literals;
using std::chrono::milliseconds;
using Clock = RequestTimeout::Clock;

// Something the server does, at a moment counted from the request's start.
struct Event {
    enum class Kind { Reply, Bytes, DataEnd };
    milliseconds at;
    Kind kind;
    std::size_t bytes = 0;
};

std::vector<Event> every(milliseconds first, milliseconds period, milliseconds last,
                         std::size_t bytes) {
    std::vector<Event> events;
    for (milliseconds at = first; at <= last; at += period) {
        events.push_back({at, Event::Kind::Bytes, bytes});
    }
    return events;
}

std::vector<Event> repliesEvery(milliseconds period, milliseconds last) {
    std::vector<Event> events;
    for (milliseconds at = period; at <= last; at += period) {
        events.push_back({at, Event::Kind::Reply});
    }
    return events;
}

struct Ending {
    FailedRule rule;
    milliseconds at;
};

// Plays the events against the rules, looking every `step` as a transport does, until `until`;
// how and when the request ends, if it does.
std::optional<Ending> play(milliseconds timeout, const std::vector<Event>& events,
                           milliseconds until, milliseconds step = 250ms) {
    const Clock::time_point start{};
    RequestTimeout rules(timeout, start);
    const FailureOf failure("Execute", "");
    std::size_t next = 0;
    for (milliseconds now = step; now <= until; now += step) {
        for (; next < events.size() && events[next].at <= now; ++next) {
            const Event& e = events[next];
            switch (e.kind) {
                case Event::Kind::Reply:
                    rules.replyArrived(start + e.at);
                    break;
                case Event::Kind::Bytes:
                    rules.bytesArrived(e.bytes, start + e.at);
                    break;
                case Event::Kind::DataEnd:
                    rules.dataEnded();
                    break;
            }
        }
        if (const std::optional<OpResult> ended = rules.check(start + now, failure)) {
            return Ending{static_cast<FailedRule>(ended->code().value), now};
        }
    }
    return std::nullopt;
}

std::vector<Event> concat(std::vector<Event> a, const std::vector<Event>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

TEST(RequestTimeout, EndsASilentServerAndATrickleButNeverATransferAtTheFloor) {
    constexpr milliseconds kTimeout = 60s;
    constexpr std::size_t kFloorPerSecond = 1024;
    struct Case {
        const char* name;
        std::vector<Event> events;
        milliseconds until;
        std::optional<Ending> ending;
    };
    const Case cases[] = {
        {"a server that never says a word", {}, 300s, Ending{FailedRule::TimedOut, 60s}},
        {"replies 50 s apart and no file yet", repliesEvery(50s, 300s), 300s, std::nullopt},
        {"replies, then silence", repliesEvery(10s, 30s), 300s, Ending{FailedRule::TimedOut, 90s}},
        // Never silent for 4 s, and cut one time-out after its first byte.
        {"one byte every 4 s", every(10s, 4s, 600s, 1), 600s, Ending{FailedRule::TooSlow, 70s}},
        {"half the floor", every(1s, 1s, 600s, kFloorPerSecond / 2), 600s,
         Ending{FailedRule::TooSlow, 61s}},
        {"exactly the floor for ten time-outs", every(1s, 1s, 600s, kFloorPerSecond), 600s,
         std::nullopt},
        {"a time-out's floor at once, 59 s apart", every(1s, 59s, 600s, 60 * kFloorPerSecond), 600s,
         std::nullopt},
        {"fast, then stalled", every(1s, 100ms, 20s, 100000), 300s,
         Ending{FailedRule::TimedOut, 80s}},
        // Once the data has ended, only the wait for the final reply is left: silence, not pace.
        {"a small file, then no final reply",
         concat(every(1s, 1s, 5s, 2000), {{5s, Event::Kind::DataEnd}}), 300s,
         Ending{FailedRule::TimedOut, 65s}},
        {"a small file, its final reply 50 s later",
         concat(every(1s, 1s, 5s, 2000), {{5s, Event::Kind::DataEnd}, {55s, Event::Kind::Reply}}),
         100s, std::nullopt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::optional<Ending> ending = play(kTimeout, c.events, c.until);
        EXPECT_EQ(ending.has_value(), c.ending.has_value())
            << (ending ? "ended at " + std::to_string(ending->at.count()) + " ms" : "never ended");
        if (!ending || !c.ending) continue;
        EXPECT_EQ(ending->rule, c.ending->rule);
        // Looked at every 250 ms, a request ends at most that much after its rule says so.
        EXPECT_GE(ending->at, c.ending->at);
        EXPECT_LT(ending->at, c.ending->at + 250ms);
    }
}

TEST(RequestTimeout, SaysWhatTheServerDid) {
    const Clock::time_point start{};
    const FailureOf failure("Execute", "");

    RequestTimeout silent(60s, start);
    EXPECT_EQ(silent.check(start + 60s, failure)->reason(),
              "nothing came from the server for 60 s");

    RequestTimeout trickle(60s, start);
    for (int i = 0; i < 15; ++i) trickle.bytesArrived(1, start + 1s + i * 4s);
    EXPECT_EQ(trickle.check(start + 61s, failure)->reason(),
              "the server sent only 15 bytes in the last 60 s");
}

}  // namespace
}  // namespace pulsaro
