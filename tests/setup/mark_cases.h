#pragma once

// What the done-marks look like and which ones a sequence of clicks shows, whichever host draws
// the window.

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

// Points of the 16 x 16 done-mark and the colour each has, from the 16-colour palette.
struct MarkSpot {
    const char* what;
    int x, y;
    unsigned rgb;
};
inline constexpr MarkSpot kDoneMarkSpots[] = {{"top lamp", 8, 3, 0x800000},
                                              {"middle lamp", 8, 8, 0x808000},
                                              {"bottom lamp", 8, 13, 0x00FF00},
                                              {"left wedge", 2, 1, 0x008080},
                                              {"right wedge", 13, 11, 0x008080}};
// Points where the mark is transparent.
inline constexpr int kTransparentSpots[][2] = {{0, 0}, {15, 15}, {0, 15}, {15, 0}};

}  // namespace pulsaro::test
