#pragma once

// The FTP texts a transfer component reads: the URL that names the server, and the server's
// replies.

#include <cstdint>
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

// What one reply line of an FTP server says about the size of the file being fetched.
struct StatedSize {
    enum class Kind {
        None,        // the line states no size
        Size,        // the line states `bytes`
        Unreadable,  // the line is a size reply, but its number cannot be read
    };
    Kind kind = Kind::None;
    std::int64_t bytes = 0;

    friend bool operator==(const StatedSize&, const StatedSize&) = default;
};

// Reads the two replies in which servers state a file's size, as loosely as servers write them:
// the reply to SIZE, "213 <digits>" with any blanks around the number, and the reply that opens
// the transfer, "150 ..." or "125 ..." holding "(<digits> bytes" (the last such group counts).
// Line ends are ignored; every other line states nothing.
StatedSize sizeStatedIn(std::string_view replyLine);

// Whether a reply reports a failure: its code starts with 4 or 5.
bool isFailureReply(std::string_view replyLine);

// Whether a reply is the one that opens a file's transfer: 150, or 125 on an open connection.
// The next reply is the server's final word on the transfer.
bool opensTheTransfer(std::string_view replyLine);

}  // namespace pulsaro
