#include "console.h"
#include "host.h"
#include "texts.h"
#include "update_keys.h"
#include "updater_about.h"
#include "updater_window.h"
#include "wide.h"

#include <windows.h>

#include <exception>
#include <optional>

namespace {

constexpr pulsaro::About kAbout = pulsaro::update::about(
    "c:\\ is the drive itself, or the folder PULSARO_DRIVE_C names when it is set.\n");

}  // namespace

// Asked about itself, the updater answers and ends: it never runs an update then. Otherwise the
// window is never shown: the load handler does all the work, and the program ends when it
// returns, with the status saying whether the application was replaced. It installs only updates
// signed with one of the keys it was built with, when it was built with any.
int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    pulsaro::About about = kAbout;
    about.versionDetails = pulsaro::update::updateKeysDescription();
    if (const std::optional<int> answered = pulsaro::answerAboutRequest(about)) {
        return *answered;
    }
    pulsaro::setDiagnosticSink(pulsaro::WriteHostDiagnostic);
    pulsaro::HostMessageBox messageBox;
    pulsaro::setMessageBoxHandler(&messageBox);
    try {
        UpdaterWindow window(pulsaro::update::builtInUpdateKeys());
        window.form.Form_Load();
        return window.form.exitStatus;
    } catch (const std::exception& e) {
        MessageBoxW(nullptr, pulsaro::widen(e.what()).c_str(),
                    pulsaro::widen(pulsaro::texts::kUpdateTitle).c_str(), MB_OK | MB_ICONERROR);
        return 1;
    }
}
