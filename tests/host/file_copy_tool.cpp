// Runs one FileCopy in a process of its own, which ends on termination signals as the programs
// do, so a test can end it part-way.
// Usage: file_copy_tool SOURCE DESTINATION   (Windows or relative paths)

#include "host.h"
#ifndef _WIN32
#include "temporary_files.h"
#endif

#include <cstdio>

int main(int argc, char** argv) {
    if (argc != 3) return 2;
#ifndef _WIN32
    // Windows deletes an unfinished copy's file itself, however the program ends.
    pulsaro::endCleanlyOnExitAndTerminationSignals();
#endif
    const pulsaro::OpResult result = pulsaro::FileCopy(argv[1], argv[2]);
    if (!result) std::fprintf(stderr, "%s\n", result.reason().c_str());
    return result ? 0 : 1;
}
