#include "about.h"
#include "updater_window.h"

#include <QApplication>

namespace {

// Asked about itself, the updater answers and ends: it never runs an update then.
std::optional<int> answerAboutRequest(int argc, char** argv) {
    static constexpr pulsaro::About kAbout{
        "pulsaro_zentra_update.exe", "[--help | --version]",
        "Replaces the installed Pulsaro Zentra application with the newest one from the\n"
        "product's server, then says whether it did. Started without these options it runs the\n"
        "update at once and ignores any other argument.\n"};
    return pulsaro::answerAboutRequest(argc, argv, kAbout);
}

}  // namespace

// The updater has no window of its own: the load handler does all the work, and the program
// ends when it returns.
int main(int argc, char** argv) {
    if (const std::optional<int> answered = answerAboutRequest(argc, argv)) return *answered;
    QApplication app(argc, argv);
    UpdaterWindow window;
    window.form.Form_Load();
    return window.form.exitStatus;
}
