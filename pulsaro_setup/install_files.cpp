#include "action.h"
#include "host.h"
#include "layout.h"
#include "setup_form.h"

namespace pulsaro::setup {

using namespace pulsaro::layout;

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
    window_.Show(Element::Picture5);
}

}  // namespace pulsaro::setup
