#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace pulsaro {

// The server an FTP URL names, or why the URL names none.
struct FtpServerAddress {
    std::string host;
    std::uint16_t port = 21;
    std::string error;
    bool ok() const { return error.empty(); }
};

// Reads "ftp://host[:port][/...]", the scheme in any letter case and an IPv6 host in brackets.
// Any path is left aside: the request names the remote file. The account is never part of the
// URL, so a user name in it is refused rather than sent somewhere unexpected.
FtpServerAddress parseFtpUrl(std::string_view url);

// The size in a reply to SIZE ("213 <digits>"); nothing for any other reply.
std::optional<std::int64_t> sizeInSizeReply(std::string_view reply);

// The size many servers name when they open a transfer ("150 ... (<digits> bytes)").
std::optional<std::int64_t> sizeInOpeningReply(std::string_view reply);

// Whether a reply reports a failure: its code starts with 4 or 5.
bool isFailureReply(std::string_view reply);

}  // namespace pulsaro
