#include "ftp_reply.h"

#include <algorithm>
#include <limits>
#include <optional>
#include <utility>

namespace pulsaro {
namespace {

bool isBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

bool allDigits(std::string_view text) {
    return !text.empty() && std::ranges::all_of(text, isDigit);
}

char lowerAscii(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool startsWithIgnoringCase(std::string_view text, std::string_view lowerPrefix) {
    return text.size() >= lowerPrefix.size() &&
           std::ranges::equal(text.substr(0, lowerPrefix.size()), lowerPrefix,
                              [](char a, char b) { return lowerAscii(a) == b; });
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
    if (!allDigits(number)) return {StatedSize::Kind::Unreadable, 0};
    return stated(number);
}

StatedSize openingReply(std::string_view text) {
    StatedSize last;
    for (std::size_t open = text.find('('); open != std::string_view::npos;
         open = text.find('(', open + 1)) {
        std::size_t end = open + 1;
        while (end < text.size() && isDigit(text[end])) ++end;
        if (end == open + 1 || !startsWithIgnoringCase(text.substr(end), " bytes")) continue;
        last = stated(text.substr(open + 1, end - open - 1));
    }
    return last;
}

FtpServerAddress refused(std::string why) {
    FtpServerAddress address;
    address.error = std::move(why);
    return address;
}

}  // namespace

FtpServerAddress parseFtpUrl(std::string_view url) {
    constexpr std::string_view kScheme = "ftp://";
    if (!startsWithIgnoringCase(url, kScheme)) return refused("only ftp:// URLs are supported");
    std::string_view authority = url.substr(kScheme.size());
    authority = authority.substr(0, authority.find_first_of("/?#"));
    if (authority.find('@') != std::string_view::npos) {
        return refused("the account belongs in UserName and Password, not in the URL");
    }
    std::string_view host = authority;
    std::string_view port;
    if (authority.starts_with('[')) {
        const std::size_t close = authority.find(']');
        if (close == std::string_view::npos) return refused("unclosed \"[\" in the host");
        host = authority.substr(1, close - 1);
        const std::string_view rest = authority.substr(close + 1);
        if (!rest.empty() && !rest.starts_with(':')) return refused("invalid host");
        if (!rest.empty()) port = rest.substr(1);
        if (!rest.empty() && port.empty()) return refused("an empty port");
    } else if (const std::size_t colon = authority.rfind(':'); colon != std::string_view::npos) {
        host = authority.substr(0, colon);
        port = authority.substr(colon + 1);
        if (port.empty()) return refused("an empty port");
    }
    if (host.empty()) return refused("URL without a host");
    if (std::ranges::any_of(host, [](char c) { return c <= ' ' || c == 0x7f; })) {
        return refused("invalid host");
    }
    FtpServerAddress address;
    address.host = std::string(host);
    if (!port.empty()) {
        const std::optional<std::int64_t> value = allDigits(port) ? valueOf(port) : std::nullopt;
        if (!value || *value < 1 || *value > 65535) return refused("invalid port");
        address.port = static_cast<std::uint16_t>(*value);
    }
    return address;
}

StatedSize sizeStatedIn(std::string_view replyLine) {
    constexpr std::size_t kCodeLength = 4;  // three digits and the blank after them
    if (hasCode(replyLine, "213")) return sizeReply(replyLine.substr(kCodeLength));
    if (hasCode(replyLine, "150") || hasCode(replyLine, "125")) {
        return openingReply(replyLine.substr(kCodeLength));
    }
    return {};
}

bool isFailureReply(std::string_view replyLine) {
    return replyLine.size() >= 3 && (replyLine[0] == '4' || replyLine[0] == '5') &&
           allDigits(replyLine.substr(0, 3));
}

bool opensTheTransfer(std::string_view replyLine) {
    return replyLine.starts_with("150") || replyLine.starts_with("125");
}

}  // namespace pulsaro
