// The reading of sizes in FTP server replies against a model written the other way round: the
// model finds each " bytes" from the end and walks back over its digits to the "(", where the
// reader walks forward from each "(". A size reply is "213" and a blank, then nothing but blanks
// around one run of digits; a number too large for a file size cannot be read. Any size written
// out by the server comes back unchanged.

#include "ftp_reply.h"
#include "fuzz_check.h"

#include <algorithm>
#include <cctype>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

namespace {

using pulsaro::StatedSize;
using Kind = StatedSize::Kind;

bool blank(char c) {
    return std::strchr(" \t\r\n", c) != nullptr && c != '\0';
}

bool digit(char c) {
    return std::isdigit(static_cast<unsigned char>(c)) != 0;
}

// A run of digits as a size, or unreadable when it exceeds the largest file size.
StatedSize number(std::string digits) {
    digits.erase(0, digits.find_first_not_of('0'));
    const std::string largest = "9223372036854775807";
    if (digits.size() > largest.size() || (digits.size() == largest.size() && digits > largest)) {
        return {Kind::Unreadable, 0};
    }
    return {Kind::Size, digits.empty() ? 0 : std::stoll(digits)};
}

StatedSize sizeReply(const std::string& rest) {
    std::size_t first = 0, last = rest.size();
    while (first < last && blank(rest[first])) ++first;
    while (last > first && blank(rest[last - 1])) --last;
    if (first == last) return {Kind::Unreadable, 0};
    for (std::size_t i = first; i < last; ++i) {
        if (!digit(rest[i])) return {Kind::Unreadable, 0};
    }
    return number(rest.substr(first, last - first));
}

StatedSize openingReply(const std::string& rest) {
    std::string lower = rest;
    for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    for (std::size_t at = lower.rfind(" bytes"); at != std::string::npos;
         at = at == 0 ? std::string::npos : lower.rfind(" bytes", at - 1)) {
        std::size_t start = at;
        while (start > 0 && digit(rest[start - 1])) --start;
        if (start < at && start > 0 && rest[start - 1] == '(') {
            return number(rest.substr(start, at - start));
        }
    }
    return {};
}

StatedSize model(const std::string& line) {
    if (line.size() < 4 || !blank(line[3])) return {};
    const std::string code = line.substr(0, 3);
    if (code == "213") return sizeReply(line.substr(4));
    if (code == "150" || code == "125") return openingReply(line.substr(4));
    return {};
}

const char* kindName(Kind kind) {
    return kind == Kind::None ? "none" : kind == Kind::Size ? "size" : "unreadable";
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string line(reinterpret_cast<const char*>(data), size);
    const StatedSize got = pulsaro::sizeStatedIn(line);
    const StatedSize expected = model(line);
    FUZZ_CHECK(got == expected, "line \"" + line + "\": " + kindName(got.kind) + " " +
                                    std::to_string(got.bytes) + ", model " +
                                    kindName(expected.kind) + " " + std::to_string(expected.bytes));
    std::int64_t written = 0;
    std::memcpy(&written, data, std::min(size, sizeof written));
    if (written < 0) written = -(written + 1);
    const std::string reply = "213 " + std::to_string(written) + "\r\n";
    const StatedSize read = pulsaro::sizeStatedIn(reply);
    FUZZ_CHECK(read.kind == Kind::Size && read.bytes == written, "round trip of " + reply);
    return 0;
}
