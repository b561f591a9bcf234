#include "action.h"
#include "updater_window.h"

#include <QApplication>

// Runs the updater's download steps once against $PULSARO_UPDATE_URL, into the staging folder
// of the mapped drive; the exit status tells whether every step succeeded.
int main(int argc, char** argv) {
    QApplication app(argc, argv);
    UpdaterWindow window;
    pulsaro::Action run;
    window.form.DownloadUpdate(run, "pulsaronew_zentra.exe");
    return run.failedSteps() == 0 ? 0 : 1;
}
