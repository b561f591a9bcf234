#pragma once

#include "about.h"

namespace pulsaro::update {

// What the updater says about itself when asked, on every host.
inline constexpr About kAbout{
    "pulsaro_zentra_update.exe", "[--help | --version]",
    "Replaces the installed Pulsaro Zentra application with the newest one from the\n"
    "product's server, then says whether it did. Started without these options it runs the\n"
    "update at once and ignores any other argument.\n"};

}  // namespace pulsaro::update
