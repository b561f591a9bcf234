#include "setup_window.h"
#include "temporary_files.h"

#include <QApplication>

int main(int argc, char** argv) {
    pulsaro::endCleanlyOnExitAndTerminationSignals();
    QApplication app(argc, argv);
    SetupWindow window;
    window.show();
    return QApplication::exec();
}
