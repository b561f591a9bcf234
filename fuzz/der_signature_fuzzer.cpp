// The reader of DER signatures against a model written the other way round: the model reads any
// sequence of two integers loosely, writes r and s back in the one encoding OpenSSL writes, and
// takes the input as a signature only when it is exactly that encoding of two integers between 1
// and the curve's order less 1. Any r and s in that range, encoded, read back unchanged.

#include "fuzz_check.h"
#include "signature.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

namespace {

using pulsaro::P256Signature;

const std::string kOrder(
    "\xff\xff\xff\xff\x00\x00\x00\x00\xff\xff\xff\xff\xff\xff\xff\xff"
    "\xbc\xe6\xfa\xad\xa7\x17\x9e\x84\xf3\xb9\xca\xc2\xfc\x63\x25\x51",
    32);

std::string hex(const std::string& bytes) {
    static const char digits[] = "0123456789abcdef";
    std::string out;
    for (unsigned char c : bytes) {
        out.push_back(digits[c >> 4]);
        out.push_back(digits[c & 15]);
    }
    return out;
}

// A 32-byte field in range: not zero, below the order.
bool inRange(const std::string& field) {
    return field != std::string(32, '\0') && field < kOrder;
}

// The fewest bytes of a positive integer given as a 32-byte field, as DER writes it.
std::string integer(const std::string& field) {
    std::string value = field.substr(std::min(field.find_first_not_of('\0'), field.size() - 1));
    if (static_cast<unsigned char>(value[0]) & 0x80) value.insert(0, 1, '\0');
    return std::string("\x02", 1) + static_cast<char>(value.size()) + value;
}

std::string encode(const std::string& r, const std::string& s) {
    const std::string body = integer(r) + integer(s);
    return std::string("\x30", 1) + static_cast<char>(body.size()) + body;
}

// Any integer of up to 32 significant bytes, whatever its padding, as a 32-byte field.
std::optional<std::string> looseInteger(const std::string& der, std::size_t& at) {
    if (at + 2 > der.size() || der[at] != 0x02) return std::nullopt;
    const std::size_t length = static_cast<unsigned char>(der[at + 1]);
    if (at + 2 + length > der.size()) return std::nullopt;
    std::string value = der.substr(at + 2, length);
    at += 2 + length;
    value.erase(0, value.find_first_not_of('\0'));
    if (value.size() > 32) return std::nullopt;
    return std::string(32 - value.size(), '\0') + value;
}

std::optional<P256Signature> model(const std::string& der) {
    std::size_t at = 2;
    if (der.size() < 2 || der[0] != 0x30) return std::nullopt;
    const std::optional<std::string> r = looseInteger(der, at);
    const std::optional<std::string> s = r ? looseInteger(der, at) : std::nullopt;
    if (!s || !inRange(*r) || !inRange(*s) || encode(*r, *s) != der) return std::nullopt;
    P256Signature rs{};
    std::copy(r->begin(), r->end(), rs.begin());
    std::copy(s->begin(), s->end(), rs.begin() + 32);
    return rs;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string input(reinterpret_cast<const char*>(data), size);
    const std::optional<P256Signature> got = pulsaro::parseDerSignature(input);
    const std::optional<P256Signature> expected = model(input);
    FUZZ_CHECK(got == expected,
               "input " + hex(input) + ": read " +
                   (got ? hex(std::string(got->begin(), got->end())) : "none") + ", model " +
                   (expected ? hex(std::string(expected->begin(), expected->end())) : "none"));
    std::string r = input.substr(0, std::min<std::size_t>(size, 32));
    r.resize(32, '\x01');
    std::string s = size > 32 ? input.substr(32, 32) : std::string();
    s.resize(32, '\x02');
    if (inRange(r) && inRange(s)) {
        const std::optional<P256Signature> back = pulsaro::parseDerSignature(encode(r, s));
        FUZZ_CHECK(back && std::string(back->begin(), back->end()) == r + s,
                   "round trip of " + hex(r + s));
    }
    return 0;
}
