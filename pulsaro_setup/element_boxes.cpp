// Prints the setup window's client area and each element's box in pixels, one per line as
// "<name> <left> <top> <width> <height>" ("Picture2(0)" for an element of an array), so that the
// scripts that click the window take its layout from the same table as the window.

#include "setup_elements.h"

#include <cstdio>
#include <string>

int main() {
    using namespace pulsaro::setup;
    std::printf("client 0 0 %d %d\n", pixels(kClientWidthTwips), pixels(kClientHeightTwips));
    for (const ElementRow& e : kElements) {
        std::string name(e.name);
        if (e.index >= 0) name += "(" + std::to_string(e.index) + ")";
        std::printf("%s %d %d %d %d\n", name.c_str(), pixels(e.left), pixels(e.top),
                    pixels(e.width), pixels(e.height));
    }
    return std::fflush(stdout) == 0 ? 0 : 1;
}
