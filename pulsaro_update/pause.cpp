#include "host.h"
#include "pause_clock.h"
#include "update_form.h"

#include <cmath>

namespace pulsaro {
namespace {

class HostClock final : public PauseClock {
  public:
    double now() override { return GetTimer(); }
    void waitForEvents(std::chrono::milliseconds maxWait) override { DoEventsWaiting(maxWait); }
};

PauseClock*& installedClock() {
    static PauseClock* clock = nullptr;
    return clock;
}

}  // namespace

PauseClock& pauseClock() {
    static HostClock host;
    PauseClock* clock = installedClock();
    return clock ? *clock : host;
}

PauseClock* setPauseClock(PauseClock* clock) {
    PauseClock* previous = installedClock();
    installedClock() = clock;
    return previous;
}

// Sleeps between events rather than polling the clock; a wait is rounded up to whole
// milliseconds, as waking early would only cost one more turn.
void update::Form1::PausaTempo(double seconds) {
    PauseClock& clock = pauseClock();
    const double deadline = clock.now() + seconds;
    for (double now = clock.now(); now < deadline; now = clock.now()) {
        const auto left =
            std::chrono::milliseconds(static_cast<long long>(std::ceil((deadline - now) * 1000.0)));
        clock.waitForEvents(left);
    }
}

}  // namespace pulsaro
