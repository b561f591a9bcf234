// Runs one Shell in a process of its own, so that a test can put the running program where it
// wants: a bare program name is looked for beside the running program first.
// Usage: shell_tool COMMAND_LINE   (exit status 0 once the program started, else 1)

#include "host.h"

#include <cstdio>

int main(int argc, char** argv) {
    if (argc != 2) return 2;
    const pulsaro::OpResult result = pulsaro::Shell(argv[1], pulsaro::kMinimizedFocus);
    if (!result) std::fprintf(stderr, "%s\n", result.reason().c_str());
    return result ? 0 : 1;
}
