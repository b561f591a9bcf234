// Runs one FileCopy in a process of its own, which ends on termination signals as the programs
// do, so a test can end it part-way.
// Usage: file_copy_tool SOURCE DESTINATION   (Windows or relative paths)

#include "host.h"
#include "temporary_files.h"

#include <cstdio>

int main(int argc, char** argv) {
    if (argc != 3) return 2;
    pulsaro::endCleanlyOnExitAndTerminationSignals();
    const pulsaro::OpResult result = pulsaro::FileCopy(argv[1], argv[2]);
    if (!result) std::fprintf(stderr, "%s\n", result.reason().c_str());
    return result ? 0 : 1;
}
