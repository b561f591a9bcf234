#include "signature.h"

#include <algorithm>

namespace pulsaro {
namespace {

constexpr std::size_t kFieldBytes = 32;

// The order n of the curve's base point: r and s are below it.
constexpr std::array<std::uint8_t, kFieldBytes> kOrder = {
    0xFF, 0xFF, 0xFF, 0xFF, 0x00, 0x00, 0x00, 0x00, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF,
    0xBC, 0xE6, 0xFA, 0xAD, 0xA7, 0x17, 0x9E, 0x84, 0xF3, 0xB9, 0xCA, 0xC2, 0xFC, 0x63, 0x25, 0x51};

constexpr std::uint8_t kSequence = 0x30;
constexpr std::uint8_t kInteger = 0x02;
// A length byte with this bit set starts a long-form length, which DER forbids below 128.
constexpr std::uint8_t kLongForm = 0x80;
constexpr std::uint8_t kSignBit = 0x80;

std::uint8_t byteAt(std::string_view der, std::size_t at) {
    return static_cast<std::uint8_t>(der[at]);
}

// Reads the integer at `at` into a 32-byte field and moves past it; false when it is not a
// positive integer in minimal form below the order.
bool readInteger(std::string_view der, std::size_t& at, std::uint8_t* field) {
    if (der.size() - at < 2 || byteAt(der, at) != kInteger) return false;
    const std::size_t length = byteAt(der, at + 1);
    at += 2;
    if (length == 0 || length > kFieldBytes + 1 || der.size() - at < length) return false;
    std::string_view value = der.substr(at, length);
    at += length;
    if (byteAt(value, 0) & kSignBit) return false;
    if (byteAt(value, 0) == 0) {
        // A leading zero only keeps the next byte's high bit from reading as a sign.
        if (length == 1 || !(byteAt(value, 1) & kSignBit)) return false;
        value.remove_prefix(1);
    }
    if (value.size() > kFieldBytes) return false;
    std::uint8_t* start = field + (kFieldBytes - value.size());
    std::fill(field, start, std::uint8_t{0});
    std::copy(value.begin(), value.end(), start);
    return std::lexicographical_compare(field, field + kFieldBytes, kOrder.begin(), kOrder.end());
}

}  // namespace

std::optional<P256Signature> parseDerSignature(std::string_view der) {
    if (der.size() < 2 || byteAt(der, 0) != kSequence || (byteAt(der, 1) & kLongForm) ||
        byteAt(der, 1) != der.size() - 2) {
        return std::nullopt;
    }
    P256Signature signature{};
    std::size_t at = 2;
    if (!readInteger(der, at, signature.data()) ||
        !readInteger(der, at, signature.data() + kFieldBytes) || at != der.size()) {
        return std::nullopt;
    }
    return signature;
}

}  // namespace pulsaro
