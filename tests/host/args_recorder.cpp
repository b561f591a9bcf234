// A program for tests of Shell: writes the program name it was started by, its arguments one per
// line after a count, and the Wine prefix it was given to the file named by RECORDER_OUTPUT, then
// waits until the file named by RECORDER_RELEASE exists (if set), and finally appends "finished".
// Lines end in "\n" on every host.

#include <unistd.h>
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <thread>

int main(int argc, char** argv) {
    const char* output = std::getenv("RECORDER_OUTPUT");
    if (!output) return 2;
    {
        std::ofstream out(output, std::ios::trunc | std::ios::binary);
        out << "pid " << ::getpid() << "\n"
            << "program " << argv[0] << "\n"
            << "count " << argc - 1 << "\n";
        for (int i = 1; i < argc; ++i) out << "[" << argv[i] << "]\n";
        const char* prefix = std::getenv("WINEPREFIX");
        out << "WINEPREFIX " << (prefix ? prefix : "unset") << "\n";
    }
    if (const char* release = std::getenv("RECORDER_RELEASE")) {
        const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(30);
        while (::access(release, F_OK) != 0 && std::chrono::steady_clock::now() < giveUp) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
    }
    std::ofstream(output, std::ios::app | std::ios::binary) << "finished\n";
    return 0;
}
