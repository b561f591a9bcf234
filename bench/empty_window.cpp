#include <QApplication>
#include <QWidget>

// Nothing but a window, shown the way the setup shows its own: what any Qt program pays to start.
int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QWidget window;
    window.setWindowTitle(QStringLiteral("Form1"));
    window.show();
    return QApplication::exec();
}
