#include "action.h"
#include "form1.h"
#include "program.h"

#include <QApplication>

// Runs the updater's download steps once against $PULSARO_UPDATE_URL, into the staging folder
// of the mapped drive; the exit status tells whether every step succeeded.
int main(int argc, char** argv) {
    QApplication app(argc, argv);
    pulsaro::setProgramTitle(QStringLiteral("pulsaro_update"));
    pulsaro::Form1 form;
    pulsaro::Action run;
    form.DownloadUpdate(run, "pulsaronew_zentra.exe");
    return run.failedSteps() == 0 ? 0 : 1;
}
