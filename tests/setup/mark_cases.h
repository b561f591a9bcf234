#pragma once

// Which done-marks a sequence of clicks shows, whichever host draws the window.

#include "setup_elements.h"

#include <set>
#include <vector>

namespace pulsaro::test {

// Nothing is installed in the drive folder, so every step's operations fail; the marks still
// follow the clicks.
struct MarkCase {
    const char* name;
    std::vector<setup::Element> clicks;
    std::set<setup::Element> shown;
};

inline std::vector<MarkCase> markCases() {
    using enum setup::Element;
    return {
        {"Passo 1", {Command1}, {Picture5}},
        {"Passo 2", {Command6}, {Picture7}},
        {"Passo 2 before Passo 1", {Command6, Command1}, {Picture5, Picture7}},
        {"Passo 2, then a click on its mark", {Command6, Picture7}, {Picture5, Picture7}},
        {"each step twice", {Command1, Command1, Command6, Command6}, {Picture5, Picture7}},
        {"a click on the hidden mark of row 3", {Picture2_1}, {}},
    };
}

}  // namespace pulsaro::test
