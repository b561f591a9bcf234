#include "setup_window.h"

#include <QApplication>

// Presses "Passo 1" once, with the current folder as the distribution folder, and ends.
int main(int argc, char** argv) {
    QApplication app(argc, argv);
    SetupWindow window;
    window.form().Command1_Click();
    return 0;
}
