#include "ftp_reply.h"

#include <limits>
#include <optional>

namespace pulsaro {
namespace {

bool isBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

std::string_view withoutBlanksAround(std::string_view text) {
    while (!text.empty() && isBlank(text.back())) text.remove_suffix(1);
    while (!text.empty() && isBlank(text.front())) text.remove_prefix(1);
    return text;
}

// The value of a run of decimal digits; nothing when it does not fit a file size.
std::optional<std::int64_t> valueOf(std::string_view digits) {
    constexpr std::int64_t kLargest = std::numeric_limits<std::int64_t>::max();
    std::int64_t value = 0;
    for (char c : digits) {
        const int digit = c - '0';
        if (value > (kLargest - digit) / 10) return std::nullopt;
        value = value * 10 + digit;
    }
    return value;
}

StatedSize stated(std::string_view digits) {
    const std::optional<std::int64_t> value = valueOf(digits);
    if (!value) return {StatedSize::Kind::Unreadable, 0};
    return {StatedSize::Kind::Size, *value};
}

// The final line of a reply with this code ("213-" would open a reply of several lines).
bool hasCode(std::string_view line, std::string_view code) {
    return line.size() > code.size() && line.substr(0, code.size()) == code &&
           isBlank(line[code.size()]);
}

StatedSize sizeReply(std::string_view text) {
    const std::string_view number = withoutBlanksAround(text);
    if (number.empty()) return {StatedSize::Kind::Unreadable, 0};
    for (char c : number) {
        if (!isDigit(c)) return {StatedSize::Kind::Unreadable, 0};
    }
    return stated(number);
}

bool startsWithBytes(std::string_view text) {
    constexpr std::string_view kBytes = " bytes";
    if (text.size() < kBytes.size()) return false;
    for (std::size_t i = 0; i < kBytes.size(); ++i) {
        const char c = text[i];
        const char lower = c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
        if (lower != kBytes[i]) return false;
    }
    return true;
}

StatedSize openingReply(std::string_view text) {
    StatedSize last;
    for (std::size_t open = text.find('('); open != std::string_view::npos;
         open = text.find('(', open + 1)) {
        std::size_t end = open + 1;
        while (end < text.size() && isDigit(text[end])) ++end;
        if (end == open + 1 || !startsWithBytes(text.substr(end))) continue;
        last = stated(text.substr(open + 1, end - open - 1));
    }
    return last;
}

}  // namespace

StatedSize sizeStatedIn(std::string_view replyLine) {
    constexpr std::size_t kCodeLength = 4;  // three digits and the blank after them
    if (hasCode(replyLine, "213")) return sizeReply(replyLine.substr(kCodeLength));
    if (hasCode(replyLine, "150") || hasCode(replyLine, "125")) {
        return openingReply(replyLine.substr(kCodeLength));
    }
    return {};
}

}  // namespace pulsaro
