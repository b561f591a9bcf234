#pragma once

#include "about.h"

namespace pulsaro::update {

// What the updater says about itself when asked, on every host; `drive` says where c:\ is on
// the host.
constexpr About about(std::string_view drive) {
    return About{
        "pulsaro_zentra_update.exe", "[-h | --help | /? | --version]",
        "Updates Pulsaro Zentra. It waits five seconds, downloads the newest pulsaro_zentra.exe\n"
        "from the product's FTP server, FTP://ftp.pulsarozentra.example, into\n"
        "c:\\pulsaro_zentra\\_pulsaro\\, and only once the whole file has arrived replaces the\n"
        "installed application, c:\\pulsaro_zentra\\pulsaro_zentra.exe, with it. Then it says\n"
        "in a message whether it did. Any other argument is ignored.\n"
        "\n"
        "Environment:\n"
        "  PULSARO_UPDATE_URL  another server to ask (for example ftp://127.0.0.1:2121), for\n"
        "                      tests and staging only\n"
        "  PULSARO_TRACE=1     writes every step and its outcome on standard error\n"
        "\n"
        "Exit status:\n"
        "  0  the installed application is now the downloaded one\n"
        "  1  it is not: the update failed, and the installed application is as it was\n"
        "\n",
        drive};
}

}  // namespace pulsaro::update
