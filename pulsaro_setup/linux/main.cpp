#include "about.h"
#include "drive.h"
#include "host.h"
#include "layout.h"
#include "program.h"
#include "setup_about.h"
#include "setup_window.h"
#include "temporary_files.h"

#include <QApplication>

namespace {

constexpr pulsaro::About kAbout = pulsaro::setup::about(
    "setup_pulsaro_zentra",
    "The install tree goes below the folder that stands for c:\\ : $PULSARO_DRIVE_C, else\n"
    "$WINEPREFIX/drive_c, else ${XDG_DATA_HOME:-$HOME/.local/share}/pulsaro/drive_c.\n");

}  // namespace

// Asked about itself, the setup answers before it opens a window, so no display is needed.
int main(int argc, char** argv) {
    if (const std::optional<int> answered = pulsaro::answerAboutRequest(argc, argv, kAbout)) {
        return *answered;
    }
    pulsaro::endCleanlyOnExitAndTerminationSignals();
    pulsaro::setDiagnosticSink(pulsaro::WriteHostDiagnostic);
    QApplication app(argc, argv);
    pulsaro::HostMessageBox messageBox;
    pulsaro::setMessageBoxHandler(&messageBox);
    // Wayland compositors find the menu entry, and with it the icon, by this name.
    QGuiApplication::setDesktopFileName(QStringLiteral("pulsaro-zentra-setup"));
    SetupWindow window;
    if (const std::string why = pulsaro::driveTooDeep(pulsaro::layout::kTreePaths); !why.empty()) {
        pulsaro::emitDiagnostic(pulsaro::programTitle() + ": " + why);
    }
    window.show();
    return QApplication::exec();
}
