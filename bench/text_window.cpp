#include <QApplication>
#include <QLabel>

// The empty window with one line of text: what a window pays before its first frame just for
// drawing text (the font configuration is read on first use).
int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QLabel window(QStringLiteral("Passo 1"));
    window.setWindowTitle(QStringLiteral("Form1"));
    window.show();
    return QApplication::exec();
}
