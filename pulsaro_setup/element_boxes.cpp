// Prints the setup window's client area and each element's box in pixels, one per line as
// "<name> <left> <top> <width> <height>" ("Picture2(0)" for an element of an array), so that the
// scripts that click the window take its layout from the same table as the window.

#include "setup_elements.h"

#include <cstdio>

int main() {
    using namespace pulsaro::setup;
    std::printf("client 0 0 %d %d\n", pixels(kClientWidthTwips), pixels(kClientHeightTwips));
    for (const ElementRow& e : kElements) {
        std::printf("%.*s", static_cast<int>(e.name.size()), e.name.data());
        if (e.index >= 0) std::printf("(%d)", e.index);
        std::printf(" %d %d %d %d\n", pixels(e.left), pixels(e.top), pixels(e.width),
                    pixels(e.height));
    }
    return std::fflush(stdout) == 0 ? 0 : 1;
}
