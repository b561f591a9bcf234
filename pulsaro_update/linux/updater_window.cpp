#include "updater_window.h"

#include "program.h"
#include "texts.h"

UpdaterWindow::UpdaterWindow(std::span<const pulsaro::P256PublicKey> updateKeys)
    : form(*this, Inet1, updateKeys) {
    pulsaro::setProgramTitle(pulsaro::texts::kUpdateTitle);
    setWindowTitle(
        QString::fromUtf8(pulsaro::texts::kWindowCaption.data(),
                          static_cast<qsizetype>(pulsaro::texts::kWindowCaption.size())));
}

void UpdaterWindow::Unload() {
    close();
}
