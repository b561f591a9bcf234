#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

namespace pulsaro::test {

// How the fixture FTP server (ftp_server.py) departs from a plain, well-behaved one; all off by
// default.
struct FtpFaults {
    std::string loginFolder;  // where a login lands instead of "/"
    bool refuseLogin = false;
    std::optional<std::int64_t> dropAfterBytes;   // closes the data connection there (426)
    std::optional<std::int64_t> stallAfterBytes;  // sends nothing more, connection kept open
    std::int64_t sizeDelta = 0;                   // announced size minus the real one
    bool announceNoSize = false;
    // States the size in the reply that opens the transfer too, off by this much.
    std::optional<std::int64_t> openingSizeDelta;
    std::int64_t bytesPerSecond = 0;  // 0: as fast as it can
    std::string silentOn;             // a command never answered; "BANNER": never greets
    std::string longReplyAt;          // a reply preceded by a line of longReplyLength chars
    std::size_t longReplyLength = 70000;
};

}  // namespace pulsaro::test
