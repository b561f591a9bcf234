#include "form1.h"

#include "action.h"
#include "layout.h"
#include "operations.h"

#include <QLabel>

using namespace pulsaro;
using namespace pulsaro::layout;

// "Passo 1": wipes the files of an earlier installation from the root, recreates the tree and
// copies the distribution files into it.
void Form1::Command1_Click() {
    Action run;
    run(KillFiles(kRootAllFiles));
    run(RemoveDir(kRoot));
    run(MakeDir(kRoot));
    run(MakeDir(kQuorvin));
    run(MakeDir(kStaging));
    run(FileCopy(source::kWorkbook, kWorkbook));
    run(FileCopy(source::kWinsockControl, kWinsockControl));
    run(FileCopy(source::kInetControl, kInetControl));
    run(FileCopy(source::kComCtlControl, kComCtlControl));
    run(FileCopy(source::kMainApp, kMainApp));
    run(FileCopy(source::kMinipadCoordinates, kMinipadCoordinates));
    run(FileCopy(source::kTolerances, kTolerances));
    run(FileCopy(source::kWebConfig, kWebConfig));
    run(FileCopy(source::kBuySound, kBuySound));
    run(FileCopy(source::kAlarmSound, kAlarmSound));
    run(FileCopy(source::kUpdater, kUpdater));
    Picture5->setVisible(true);
}
