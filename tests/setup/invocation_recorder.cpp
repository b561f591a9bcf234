// Stands in for a program the setup starts: writes the arguments it received, one per line, to a
// file of its own in the folder named by RECORDER_FOLDER. The record appears whole (written
// aside, then renamed), so a test never reads half of one.

#include <unistd.h>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

int main(int argc, char** argv) {
    const char* folder = std::getenv("RECORDER_FOLDER");
    if (!folder) return 2;
    const std::string record = std::string(folder) + "/" + std::to_string(::getpid());
    {
        std::ofstream out(record + ".part", std::ios::trunc);
        for (int i = 1; i < argc; ++i) out << argv[i] << '\n';
    }
    return std::rename((record + ".part").c_str(), record.c_str()) == 0 ? 0 : 1;
}
