#include "about.h"
#include "drive.h"
#include "host.h"
#include "layout.h"
#include "program.h"
#include "setup_window.h"
#include "temporary_files.h"

#include <QApplication>

namespace {

// Asked about itself, the setup answers before it opens a window, so no display is needed.
std::optional<int> answerAboutRequest(int argc, char** argv) {
    static constexpr pulsaro::About kAbout{
        "setup_pulsaro_zentra", "[-h | --help | /? | --version]",
        "Opens the Pulsaro Zentra setup window. Start it from the folder holding the files it\n"
        "installs. The install tree goes below the folder that stands for c:\\ : "
        "$PULSARO_DRIVE_C,\n"
        "else $WINEPREFIX/drive_c, else ${XDG_DATA_HOME:-$HOME/.local/share}/pulsaro/drive_c.\n"
        "A step that could not be done is said on standard error; PULSARO_TRACE=1 writes every\n"
        "step and its outcome there.\n"};
    return pulsaro::answerAboutRequest(argc, argv, kAbout);
}

}  // namespace

int main(int argc, char** argv) {
    if (const std::optional<int> answered = answerAboutRequest(argc, argv)) return *answered;
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
