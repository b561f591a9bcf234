// Draws the setup's done-mark as the application icon at one size: the 16 x 16 picture enlarged
// by whole pixels, so it stays as sharp as the mark in the window.

#include "done_mark.xpm"

#include <QImage>

#include <cstdio>
#include <string>

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: make_icon OUTPUT.png SIZE\n");
        return 1;
    }
    const int size = std::stoi(argv[2]);
    const QImage mark(done_mark_xpm);
    const QImage icon = mark.scaled(size, size, Qt::KeepAspectRatio, Qt::FastTransformation);
    if (!icon.save(QString::fromLocal8Bit(argv[1]), "PNG")) {
        std::fprintf(stderr, "make_icon: cannot write %s\n", argv[1]);
        return 1;
    }
    return 0;
}
