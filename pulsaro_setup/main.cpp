#include "form1.h"
#include "program.h"

#include <QApplication>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    pulsaro::setProgramTitle(QStringLiteral("pulsaro_setup"));
    Form1 window;
    window.show();
    return QApplication::exec();
}
