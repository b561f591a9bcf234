#pragma once

#include <chrono>

// What the updater's timed pause measures and waits with. The real clock is monotonic, so a
// pause lasts its duration across local midnight and wall-clock changes; tests may install a
// clock of their own.
class PauseClock {
  public:
    using TimePoint = std::chrono::steady_clock::time_point;
    virtual ~PauseClock() = default;
    virtual TimePoint now() = 0;
    // Handles events, sleeping until the next one arrives or maxWait has passed.
    virtual void waitForEvents(std::chrono::nanoseconds maxWait) = 0;
};

PauseClock& pauseClock();
// Installs a clock (nullptr restores the real one); returns the previous one.
PauseClock* setPauseClock(PauseClock* clock);
