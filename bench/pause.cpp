#include "updater_window.h"

#include <QApplication>

#include <chrono>
#include <cstdio>
#include <ctime>

namespace {

double processCpuSeconds() {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

}  // namespace

// Times one PausaTempo(5) from inside, so that program start-up does not count: prints
// "wall <seconds> cpu <seconds>".
int main(int argc, char** argv) {
    QApplication app(argc, argv);
    UpdaterWindow window;
    pulsaro::update::Form1& form = window.form;
    const auto wallStart = std::chrono::steady_clock::now();
    const double cpuStart = processCpuSeconds();
    form.PausaTempo(5);
    const double cpu = processCpuSeconds() - cpuStart;
    const std::chrono::duration<double> wall = std::chrono::steady_clock::now() - wallStart;
    std::printf("wall %.6f cpu %.6f\n", wall.count(), cpu);
    return 0;
}
