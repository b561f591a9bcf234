#include "form1.h"
#include "operations.h"
#include "pause_clock.h"

namespace {

class MonotonicClock final : public PauseClock {
  public:
    TimePoint now() override { return std::chrono::steady_clock::now(); }
    void waitForEvents(std::chrono::nanoseconds maxWait) override {
        // Rounded up: waking a little late is fine, waking early only costs one more turn.
        pulsaro::DoEventsWaiting(std::chrono::ceil<std::chrono::milliseconds>(maxWait));
    }
};

PauseClock*& installedClock() {
    static PauseClock* clock = nullptr;
    return clock;
}

}  // namespace

PauseClock& pauseClock() {
    static MonotonicClock monotonic;
    PauseClock* clock = installedClock();
    return clock ? *clock : monotonic;
}

PauseClock* setPauseClock(PauseClock* clock) {
    PauseClock* previous = installedClock();
    installedClock() = clock;
    return previous;
}

// Waits the given number of seconds while handling events, asleep between them rather than
// polling the clock.
void pulsaro::Form1::PausaTempo(double seconds) {
    PauseClock& clock = pauseClock();
    const auto deadline = clock.now() + std::chrono::duration_cast<std::chrono::nanoseconds>(
                                            std::chrono::duration<double>(seconds));
    for (auto now = clock.now(); now < deadline; now = clock.now()) {
        clock.waitForEvents(deadline - now);
    }
}
