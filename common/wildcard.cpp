#include "wildcard.h"

#include <QString>

namespace pulsaro {
namespace {

QString folded(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())).toCaseFolded();
}

// Greedy matching with one backtrack point: linear in practice, never exponential.
bool globMatch(const QString& pattern, const QString& name) {
    qsizetype p = 0, n = 0, starP = -1, starN = 0;
    while (n < name.size()) {
        // A '*' in the pattern is always the wildcard, also facing a '*' in the name (host file
        // names may hold one).
        if (p < pattern.size() && pattern[p] == u'*') {
            starP = p++;
            starN = n;
        } else if (p < pattern.size() && (pattern[p] == u'?' || pattern[p] == name[n])) {
            ++p;
            ++n;
        } else if (starP >= 0) {
            p = starP + 1;
            n = ++starN;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == u'*') ++p;
    return p == pattern.size();
}

}  // namespace

bool matchesWildcard(std::string_view pattern, std::string_view name) {
    const QString p = folded(pattern);
    const QString n = folded(name);
    if (globMatch(p, n)) return true;
    if (p.endsWith(QStringLiteral(".*"))) return globMatch(p.chopped(2), n);
    return false;
}

}  // namespace pulsaro
