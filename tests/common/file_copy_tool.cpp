// Runs one FileCopy in a process of its own, so a test can kill it part-way.
// Usage: file_copy_tool SOURCE DESTINATION   (Windows or relative paths)

#include "host.h"

#include <cstdio>

int main(int argc, char** argv) {
    if (argc != 3) return 2;
    const pulsaro::OpResult result = pulsaro::FileCopy(argv[1], argv[2]);
    if (!result) std::fprintf(stderr, "%s\n", result.reason().c_str());
    return result ? 0 : 1;
}
