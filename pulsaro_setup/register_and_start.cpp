#include "form1.h"

#include "action.h"
#include "layout.h"
#include "operations.h"

using namespace pulsaro;
using namespace pulsaro::layout;

namespace {

constexpr const char* kRegisterWinsock = R"(regsvr32  c:\pulsaro_zentra\MSWINSCK.OCX)";
constexpr const char* kRegisterInet = R"(regsvr32  c:\pulsaro_zentra\MSinet.ocx)";
constexpr const char* kRegisterComCtl = R"(regsvr32  c:\pulsaro_zentra\mscomctl.ocx)";

constexpr const char* kSupportMail = "supporto@pulsarozentra.example";
constexpr const char* kSupportPhone = "+39 02 0000 0000";

QString startMessage() {
    return QStringLiteral("Pulsaro è stato installato nella cartella ") + kRootShown +
           QStringLiteral(". Per informazioni e supporto scrivere a ") + kSupportMail +
           QStringLiteral(" o Telefonare a: ") + kSupportPhone;
}

}  // namespace

// "Passo 2": starts the registration of the three controls without waiting for any of them.
void Form1::Command6_Click() {
    Action run;
    run(Shell(kRegisterWinsock, kMinimizedFocus));
    run(Shell(kRegisterInet, kMinimizedFocus));
    run(Shell(kRegisterComCtl, kMinimizedFocus));
    Picture7->setVisible(true);
}

// "Avvia Pulsaro": tells where the product lives and how to reach support, then starts it; the
// setup stays open.
void Form1::Command4_Click() {
    Action run;
    MsgBox(startMessage());
    run(Shell(kMainApp, kMinimizedFocus));
}
