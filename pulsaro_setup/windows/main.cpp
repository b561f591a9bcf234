#include "about.h"
#include "console.h"
#include "host.h"
#include "setup_about.h"
#include "setup_window.h"
#include "wide.h"

#include <windows.h>

#include <exception>
#include <optional>

namespace {

constexpr pulsaro::About kAbout = pulsaro::setup::about(
    "setup_pulsaro_zentra.exe",
    "The install tree goes below c:\\, or below the folder that PULSARO_DRIVE_C names when it\n"
    "is set.\n");

int runMessageLoop(SetupWindow& window) {
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        if (window.handleKeyboard(message)) continue;
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    return static_cast<int>(message.wParam);
}

}  // namespace

// Asked about itself, the setup answers before it opens a window.
int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int showState) {
    if (const std::optional<int> answered = pulsaro::answerAboutRequest(kAbout)) return *answered;
    pulsaro::setDiagnosticSink(pulsaro::WriteHostDiagnostic);
    pulsaro::HostMessageBox messageBox;
    pulsaro::setMessageBoxHandler(&messageBox);
    try {
        SetupWindow window(instance);
        window.open(showState);
        return runMessageLoop(window);
    } catch (const std::exception& e) {
        MessageBoxW(nullptr, pulsaro::widen(e.what()).c_str(), L"setup_pulsaro_zentra",
                    MB_OK | MB_ICONERROR);
        return 1;
    }
}
