#include "form1.h"
#include "program.h"

#include <QApplication>

// Presses "Passo 1" once, with the current folder as the distribution folder, and ends.
int main(int argc, char** argv) {
    QApplication app(argc, argv);
    pulsaro::setProgramTitle(QStringLiteral("pulsaro_setup"));
    Form1 window;
    window.Command1_Click();
    return 0;
}
