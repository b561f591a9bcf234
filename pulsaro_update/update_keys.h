#pragma once

#include "signature.h"

#include <span>
#include <string_view>

namespace pulsaro::update {

// The vendor's public keys this program was built with (CMake option PULSARO_UPDATE_PUBLIC_KEYS,
// read into a source of its own for each program, see cmake/update_keys.cmake): an update is
// installed only when signed with one of them. None: updates are not verified.
std::span<const P256PublicKey> builtInUpdateKeys();

// What --version adds: whether updates are verified, and the fingerprint of each key.
std::string_view updateKeysDescription();

}  // namespace pulsaro::update
