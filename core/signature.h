#pragma once

// Signatures of updates: ECDSA on the curve P-256 over the SHA-256 of a file's bytes, as a vendor
// makes them with `openssl dgst -sha256 -sign`.

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

namespace pulsaro {

// A public key: the curve point's X then Y, 32 bytes each, big-endian.
using P256PublicKey = std::array<std::uint8_t, 64>;

// A signature: r then s, 32 bytes each, big-endian, the form the platforms' verifiers take.
using P256Signature = std::array<std::uint8_t, 64>;

// The longest DER signature of P-256: a sequence of two 33-byte integers.
inline constexpr std::size_t kLongestDerSignature = 72;

// Reads a signature in DER exactly as OpenSSL writes it: SEQUENCE { INTEGER r, INTEGER s }, each
// integer in the fewest bytes (a leading zero only before a high bit), every length in short
// form, nothing after the sequence, and r and s each between 1 and the order of the curve less 1.
// Anything else is not a signature.
std::optional<P256Signature> parseDerSignature(std::string_view der);

}  // namespace pulsaro
