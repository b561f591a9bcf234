#include "operations.h"
#include "program.h"

#include <QCoreApplication>
#include <QTimer>
#include <QWidget>

#include <ctime>
#include <thread>

namespace pulsaro {

void MsgBox(const QString& message) {
    messageBoxHandler().show(programTitle(), message);
}

void DoEvents() {
    if (QCoreApplication::instance()) QCoreApplication::processEvents(QEventLoop::AllEvents);
}

void DoEventsWaiting(std::chrono::milliseconds maxWait) {
    if (maxWait <= std::chrono::milliseconds::zero()) {
        DoEvents();
        return;
    }
    if (!QCoreApplication::instance()) {
        std::this_thread::sleep_for(maxWait);
        return;
    }
    // The timer only exists to wake the wait; its event ends it like any other.
    QTimer wake;
    wake.setSingleShot(true);
    wake.setTimerType(Qt::PreciseTimer);
    wake.start(maxWait);
    QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
}

float GetTimer() {
    using namespace std::chrono;
    const auto now = system_clock::now();
    const std::time_t seconds = system_clock::to_time_t(now);
    std::tm local{};
    localtime_r(&seconds, &local);
    const double fraction = duration<double>(now - system_clock::from_time_t(seconds)).count();
    return static_cast<float>(local.tm_hour * 3600 + local.tm_min * 60 + local.tm_sec + fraction);
}

void Unload(QWidget& window) {
    window.close();
}

}  // namespace pulsaro
