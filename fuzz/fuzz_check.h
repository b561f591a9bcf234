#pragma once

#include <cstdio>
#include <cstdlib>
#include <string>

// A property that does not hold is a finding: print what differed and abort, so that libFuzzer
// keeps the input that shows it.
#define FUZZ_CHECK(condition, detail)                                     \
    do {                                                                  \
        if (!(condition)) {                                               \
            std::fprintf(stderr, "property failed: %s\n%s\n", #condition, \
                         std::string(detail).c_str());                    \
            std::abort();                                                 \
        }                                                                 \
    } while (false)
