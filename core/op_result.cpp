#include "op_result.h"

namespace pulsaro {

// Appended piece by piece: operator+ on a short literal trips a false -Wrestrict in GCC 12 -O3.
std::string inQuotes(std::string_view text) {
    std::string result;
    result.reserve(text.size() + 2);
    result.push_back('"');
    result.append(text);
    result.push_back('"');
    return result;
}

}  // namespace pulsaro
