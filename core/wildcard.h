#pragma once

#include <string_view>

namespace pulsaro {

// The platform's file-name wildcards, ignoring case: '*' matches any run of characters, '?'
// exactly one, and a pattern ending in ".*" also matches names without that extension, so
// "*.*" matches every name, dotted or not.
bool matchesWildcard(std::string_view pattern, std::string_view name);

}  // namespace pulsaro
