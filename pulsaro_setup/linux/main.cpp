#include "setup_window.h"

#include <QApplication>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    SetupWindow window;
    window.show();
    return QApplication::exec();
}
