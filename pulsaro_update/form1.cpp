#include "form1.h"

#include "operations.h"
#include "program.h"

#include <chrono>

namespace pulsaro {

// The updater is this window: its message boxes and diagnostics carry the program's title.
Form1::Form1() {
    setProgramTitle(QStringLiteral("pulsaro_update"));
    setWindowTitle("Form1");
}

// Every step of a request arrives as a socket or timer event, so the wait sleeps in the event
// loop until one comes; the limit only bounds a wait that nothing would end.
OpResult Form1::WaitUntilIdle() {
    const bool requestRunning = Inet1.StillExecuting();
    while (Inet1.StillExecuting()) DoEventsWaiting(std::chrono::milliseconds(250));
    return requestRunning ? Inet1.Outcome() : OpResult::success();
}

}  // namespace pulsaro
