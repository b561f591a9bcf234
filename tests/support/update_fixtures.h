#pragma once

// What in-process tests of the updater share. Only for tests that link the updater's library.

#include "pause_clock.h"

#include <QCoreApplication>
#include <QString>

#include <cstdlib>
#include <string>

namespace pulsaro::test {

inline const QString kUpdatedMessage =
    QStringLiteral("Aggiornamento completato.Riavviare Pulsaro'");
inline const QString kNotUpdatedMessage =
    QStringLiteral("Aggiornamento non riuscito. Pulsaro non è stato modificato.");
inline constexpr const char* kRemoteApp =
    "/pulsarozentra.example/mdb-database/_pulsaro/pulsaro_zentra.exe";

// A clock on which waiting takes no real time: each wait handles pending events and moves the
// clock to the end of the wait, so the updater's five-second pause costs nothing.
class InstantClock final : public PauseClock {
  public:
    InstantClock() : previous_(setPauseClock(this)) {}
    ~InstantClock() override { setPauseClock(previous_); }
    TimePoint now() override { return now_; }
    void waitForEvents(std::chrono::nanoseconds maxWait) override {
        ++waits;
        QCoreApplication::processEvents();
        now_ += maxWait;
    }
    int waits = 0;

  private:
    TimePoint now_{};
    PauseClock* previous_;
};

// Points the updater at a test server for one scope.
class ScopedUpdateUrl {
  public:
    explicit ScopedUpdateUrl(const std::string& url) {
        setenv("PULSARO_UPDATE_URL", url.c_str(), 1);
    }
    ~ScopedUpdateUrl() { unsetenv("PULSARO_UPDATE_URL"); }
};

}  // namespace pulsaro::test
