// Stand-in for the main application the installer ships. It proves that it was started (a line in
// the file named by PULSARO_STANDIN_MARKER, with its process id so a test can end it) and then
// opens a small window, unless PULSARO_STANDIN_EXIT asks it to end at once.

#include "about.h"

#include <QApplication>
#include <QLabel>

#include <unistd.h>
#include <cstdio>
#include <cstdlib>

namespace {

void recordStart(int argc) {
    const char* marker = std::getenv("PULSARO_STANDIN_MARKER");
    if (!marker || !*marker) return;
    if (std::FILE* f = std::fopen(marker, "a")) {
        std::fprintf(f, "started pid=%ld arguments=%d\n", static_cast<long>(::getpid()), argc - 1);
        std::fclose(f);
    }
}

constexpr pulsaro::About kAbout{
    "Pulsaro_zentra.exe", "[-h | --help | /? | --version]",
    "Stands in for the Pulsaro Zentra main application: adds a line to the file named by\n"
    "PULSARO_STANDIN_MARKER, then opens a small window (or ends at once when\n"
    "PULSARO_STANDIN_EXIT is set).\n"};

}  // namespace

int main(int argc, char** argv) {
    if (const std::optional<int> answered = pulsaro::answerAboutRequest(argc, argv, kAbout)) {
        return *answered;
    }
    recordStart(argc);
    if (std::getenv("PULSARO_STANDIN_EXIT")) return 0;
    QApplication app(argc, argv);
    QLabel window(QStringLiteral("Pulsaro Zentra"));
    window.setWindowTitle(QStringLiteral("Pulsaro Zentra"));
    window.setAlignment(Qt::AlignCenter);
    window.resize(320, 120);
    window.show();
    return QApplication::exec();
}
