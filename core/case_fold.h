#pragma once

#include <string>
#include <string_view>

namespace pulsaro {

// UTF-8 text as code points with Unicode simple case folding applied, so that two names that
// differ only in letter case compare equal. A byte that is not part of valid UTF-8 stands for
// itself, above the range of code points, so that no invalid name folds onto a valid one.
std::u32string caseFolded(std::string_view utf8);

// Name comparison as the platform does it: ignoring case, Unicode-aware.
bool sameNameIgnoringCase(std::string_view a, std::string_view b);

}  // namespace pulsaro
