#include "action.h"
#include "host.h"
#include "layout.h"
#include "program.h"
#include "setup_form.h"
#include "texts.h"

namespace pulsaro::setup {

using namespace pulsaro::texts;

void Form1::Command6_Click() {
    Action run;
    run(Shell(kRegisterWinsock, kMinimizedFocus));
    run(Shell(kRegisterInet, kMinimizedFocus));
    run(Shell(kRegisterComCtl, kMinimizedFocus));
    window_.Show(Element::Picture7);
}

// The setup stays open after starting the application.
void Form1::Command4_Click() {
    Action run;
    MsgBox(kStartMessage);
    run(Shell(layout::kMainApp, kMinimizedFocus));
}

}  // namespace pulsaro::setup
