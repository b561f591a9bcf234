// The Qt event loop is this host's message pump; its message box is the program's.

#include "host.h"

#include <QCoreApplication>
#include <QMessageBox>
#include <QString>
#include <QTimer>

#include <cstdio>
#include <string>
#include <thread>

namespace pulsaro {
namespace {

QString fromUtf8(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

}  // namespace

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

double GetTimer() {
    using namespace std::chrono;
    return duration<double>(steady_clock::now().time_since_epoch()).count();
}

void HostMessageBox::show(std::string_view caption, std::string_view message) {
    QMessageBox box(QMessageBox::NoIcon, fromUtf8(caption), fromUtf8(message), QMessageBox::Ok);
    box.exec();
}

void WriteHostDiagnostic(std::string_view line) {
    std::string text(line);
    text.push_back('\n');
    std::fputs(text.c_str(), stderr);
    std::fflush(stderr);
}

}  // namespace pulsaro
