#include "updater_window.h"

#include "program.h"
#include "texts.h"

UpdaterWindow::UpdaterWindow() {
    pulsaro::setProgramTitle(pulsaro::texts::kUpdateTitle);
    setWindowTitle(
        QString::fromUtf8(pulsaro::texts::kWindowCaption.data(),
                          static_cast<qsizetype>(pulsaro::texts::kWindowCaption.size())));
}

void UpdaterWindow::Unload() {
    close();
}
