#include "ftp_text.h"

#include <algorithm>

namespace pulsaro {
namespace {

bool equalIgnoringAsciiCase(std::string_view a, std::string_view b) {
    return std::ranges::equal(a, b, [](char x, char y) {
        auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; };
        return lower(x) == lower(y);
    });
}

bool allDigits(std::string_view text) {
    return !text.empty() && std::ranges::all_of(text, [](char c) { return c >= '0' && c <= '9'; });
}

// No size a server could state has more digits; more would overflow.
constexpr std::size_t kLongestSize = 18;

std::optional<std::int64_t> number(std::string_view digits) {
    if (!allDigits(digits) || digits.size() > kLongestSize) return std::nullopt;
    std::int64_t value = 0;
    for (char c : digits) value = value * 10 + (c - '0');
    return value;
}

std::string_view withoutLineEnd(std::string_view reply) {
    while (!reply.empty() && (reply.back() == '\n' || reply.back() == '\r')) reply.remove_suffix(1);
    return reply;
}

FtpServerAddress refused(std::string why) {
    FtpServerAddress address;
    address.error = std::move(why);
    return address;
}

}  // namespace

FtpServerAddress parseFtpUrl(std::string_view url) {
    constexpr std::string_view kScheme = "ftp://";
    if (url.size() < kScheme.size() || !equalIgnoringAsciiCase(url.substr(0, 6), kScheme)) {
        return refused("only ftp:// URLs are supported");
    }
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
        const std::optional<std::int64_t> value = number(port);
        if (!value || *value < 1 || *value > 65535) return refused("invalid port");
        address.port = static_cast<std::uint16_t>(*value);
    }
    return address;
}

std::optional<std::int64_t> sizeInSizeReply(std::string_view reply) {
    constexpr std::string_view kSizeReply = "213 ";
    if (!reply.starts_with(kSizeReply)) return std::nullopt;
    return number(withoutLineEnd(reply.substr(kSizeReply.size())));
}

std::optional<std::int64_t> sizeInOpeningReply(std::string_view reply) {
    reply = withoutLineEnd(reply);
    if (!reply.starts_with("150 ") && !reply.starts_with("125 ")) return std::nullopt;
    const std::size_t open = reply.rfind('(');
    if (open == std::string_view::npos) return std::nullopt;
    const std::string_view inside = reply.substr(open + 1);
    const std::size_t space = inside.find(' ');
    if (space == std::string_view::npos) return std::nullopt;
    const std::string_view unit = inside.substr(space + 1, 6);
    if (!equalIgnoringAsciiCase(unit, "bytes)")) return std::nullopt;
    return number(inside.substr(0, space));
}

bool isFailureReply(std::string_view reply) {
    return reply.size() >= 3 && (reply[0] == '4' || reply[0] == '5') &&
           allDigits(reply.substr(0, 3));
}

}  // namespace pulsaro
