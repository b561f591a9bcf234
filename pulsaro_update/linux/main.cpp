#include "updater_window.h"

#include <QApplication>

// The updater has no window of its own: the load handler does all the work, and the program
// ends when it returns.
int main(int argc, char** argv) {
    QApplication app(argc, argv);
    UpdaterWindow window;
    window.form.Form_Load();
    return window.form.exitStatus;
}
