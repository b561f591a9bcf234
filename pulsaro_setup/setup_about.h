#pragma once

#include "about.h"

namespace pulsaro::setup {

// What the setup says about itself when asked, on every host: `program` is its name there, and
// `drive` says where c:\ is.
constexpr About about(std::string_view program, std::string_view drive) {
    return About{
        program, "[-h | --help | /? | --version]",
        "Opens the Pulsaro Zentra setup window. Start it from the folder holding the files it\n"
        "installs. A step that could not be done is said on standard error; PULSARO_TRACE=1\n"
        "writes every step and its outcome there.\n"
        "\n",
        drive};
}

}  // namespace pulsaro::setup
