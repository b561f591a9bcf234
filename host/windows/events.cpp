// The thread's message queue is this host's event loop; MessageBoxW is its message box.

#include "console.h"
#include "host.h"
#include "wide.h"

#include <windows.h>

#include <algorithm>
#include <string>

namespace pulsaro {

void DoEvents() {
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        if (message.message == WM_QUIT) {
            // Left in the queue for the loop that ends the program.
            PostQuitMessage(static_cast<int>(message.wParam));
            return;
        }
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
}

// Alertable as well, so that work a transfer thread queues to this one runs during the wait.
void DoEventsWaiting(std::chrono::milliseconds maxWait) {
    if (maxWait > std::chrono::milliseconds::zero()) {
        const auto milliseconds =
            static_cast<DWORD>(std::min<long long>(maxWait.count(), INFINITE - 1));
        MsgWaitForMultipleObjectsEx(0, nullptr, milliseconds, QS_ALLINPUT,
                                    MWMO_INPUTAVAILABLE | MWMO_ALERTABLE);
    }
    DoEvents();
}

double GetTimer() {
    static const double ticksPerSecond = [] {
        LARGE_INTEGER frequency;
        QueryPerformanceFrequency(&frequency);
        return static_cast<double>(frequency.QuadPart);
    }();
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return static_cast<double>(now.QuadPart) / ticksPerSecond;
}

// Owned by the active window, which it disables while it is shown; task-modal, so that with no
// active window every window of the thread is disabled instead.
void HostMessageBox::show(std::string_view caption, std::string_view message) {
    MessageBoxW(GetActiveWindow(), widen(message).c_str(), widen(caption).c_str(),
                MB_OK | MB_TASKMODAL);
}

// A program with a window has no standard error unless its starter gave it one; the debugger's
// output is read on every Windows machine.
void WriteHostDiagnostic(std::string_view line) {
    const std::wstring text = widen(line) + L"\r\n";
    OutputDebugStringW(text.c_str());
    writeToStandardError(std::string(line) + "\r\n");
}

}  // namespace pulsaro
