#include "wildcard.h"

#include "case_fold.h"

namespace pulsaro {
namespace {

// Greedy matching with one backtrack point: linear in practice, never exponential.
bool globMatch(std::u32string_view pattern, std::u32string_view name) {
    std::size_t p = 0, n = 0, starN = 0;
    std::size_t starP = std::u32string_view::npos;
    while (n < name.size()) {
        // A '*' in the pattern is always the wildcard, also facing a '*' in the name (host file
        // names may hold one).
        if (p < pattern.size() && pattern[p] == U'*') {
            starP = p++;
            starN = n;
        } else if (p < pattern.size() && (pattern[p] == U'?' || pattern[p] == name[n])) {
            ++p;
            ++n;
        } else if (starP != std::u32string_view::npos) {
            p = starP + 1;
            n = ++starN;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == U'*') ++p;
    return p == pattern.size();
}

}  // namespace

bool matchesWildcard(std::string_view pattern, std::string_view name) {
    const std::u32string p = caseFolded(pattern);
    const std::u32string n = caseFolded(name);
    if (globMatch(p, n)) return true;
    const std::u32string_view pv(p);
    if (pv.ends_with(U".*")) return globMatch(pv.substr(0, pv.size() - 2), n);
    return false;
}

}  // namespace pulsaro
