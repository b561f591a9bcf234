#include "about.h"
#include "drive.h"
#include "host.h"
#include "layout.h"
#include "program.h"
#include "temporary_files.h"
#include "update_keys.h"
#include "updater_about.h"
#include "updater_window.h"

#include <QApplication>
#include <QByteArrayList>
#include <QGuiApplication>

namespace {

// Without a display that answers, every platform that needs one fails and Qt ends the program
// before it starts; the update needs no window, so a platform without a display is tried last.
void fallBackToNoDisplay() {
    QByteArray platforms = qgetenv("QT_QPA_PLATFORM");
    if (platforms.isEmpty()) {
        platforms = qEnvironmentVariableIsSet("WAYLAND_DISPLAY") ? "wayland;xcb" : "xcb";
    }
    if (!platforms.split(';').contains("offscreen")) platforms += ";offscreen";
    qputenv("QT_QPA_PLATFORM", platforms);
}

constexpr pulsaro::About kAbout = pulsaro::update::about(
    "On this host c:\\ is the folder $PULSARO_DRIVE_C, else $WINEPREFIX/drive_c, else\n"
    "${XDG_DATA_HOME:-$HOME/.local/share}/pulsaro/drive_c. Without a display the message goes\n"
    "to standard error, as \"pulsaro_update: <message>\".\n");

bool hasDisplay() {
    const QString platform = QGuiApplication::platformName();
    return platform != QLatin1String("offscreen") && platform != QLatin1String("minimal");
}

}  // namespace

// The updater has no window of its own: the load handler does all the work, and the program
// ends when it returns. With no display, the message it ends with goes to standard error.
// Asked about itself, the updater answers and ends: it never runs an update then. It installs
// only updates signed with one of the keys it was built with, when it was built with any.
int main(int argc, char** argv) {
    pulsaro::About about = kAbout;
    about.versionDetails = pulsaro::update::updateKeysDescription();
    if (const std::optional<int> answered = pulsaro::answerAboutRequest(argc, argv, about)) {
        return *answered;
    }
    pulsaro::endCleanlyOnExitAndTerminationSignals();
    pulsaro::setDiagnosticSink(pulsaro::WriteHostDiagnostic);
    fallBackToNoDisplay();
    QApplication app(argc, argv);
    pulsaro::HostMessageBox onScreen;
    if (hasDisplay()) pulsaro::setMessageBoxHandler(&onScreen);
    UpdaterWindow window(pulsaro::update::builtInUpdateKeys());
    if (const std::string why = pulsaro::driveTooDeep(pulsaro::layout::kTreePaths); !why.empty()) {
        pulsaro::emitDiagnostic(pulsaro::programTitle() + ": " + why);
    }
    window.form.Form_Load();
    return window.form.exitStatus;
}
