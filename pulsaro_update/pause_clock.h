#pragma once

#include <chrono>

namespace pulsaro {

// What the updater's timed pause measures and waits with: the host's monotonic clock, so a pause
// lasts its duration across local midnight and wall-clock changes. Tests may install a clock of
// their own.
class PauseClock {
  public:
    virtual ~PauseClock() = default;
    // Seconds since some fixed moment.
    virtual double now() = 0;
    // Handles events, sleeping until the next one arrives or maxWait has passed.
    virtual void waitForEvents(std::chrono::milliseconds maxWait) = 0;
};

PauseClock& pauseClock();
// Installs a clock (nullptr restores the host's); returns the previous one.
PauseClock* setPauseClock(PauseClock* clock);

}  // namespace pulsaro
