#pragma once

#include <cstdint>
#include <string_view>

namespace pulsaro {

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

}  // namespace pulsaro
