// The wildcard matcher of KillFiles against a small reference model of the platform's rules:
// '*' any run of characters, '?' exactly one, letters compared ignoring case, and a pattern
// ending in ".*" also matching what the pattern without it matches (so "*.*" matches every name).
// Inputs are spelt in a small alphabet, two-byte letters and wildcard characters in names
// included, so that the model can fold case on its own.

#include "fuzz_check.h"
#include "wildcard.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace {

struct Symbol {
    const char* utf8;
    char folded;  // one code per character, equal for the two cases of a letter
};

// 'é' and 'É' are two bytes each in UTF-8 but one character.
const Symbol kAlphabet[] = {{"a", 'a'},        {"A", 'a'}, {"b", 'b'}, {"B", 'b'},
                            {".", '.'},        {"*", '*'}, {"?", '?'}, {"\xC3\xA9", 'e'},
                            {"\xC3\x89", 'e'}, {" ", ' '}};
constexpr std::size_t kSymbols = std::size(kAlphabet);
constexpr std::uint8_t kSeparator = 0xFF;  // between pattern and name

struct Spelt {
    std::string utf8;
    std::string folded;
};

void append(Spelt& s, std::uint8_t byte) {
    const Symbol& symbol = kAlphabet[byte % kSymbols];
    s.utf8 += symbol.utf8;
    s.folded += symbol.folded;
}

// pattern[p..] matches name[n..]; memoised over (p, n) so it stays quadratic.
class Model {
  public:
    Model(const std::string& pattern, const std::string& name)
        : pattern_(pattern), name_(name), memo_((pattern.size() + 1) * (name.size() + 1), -1) {}

    bool matches(std::size_t p, std::size_t n) {
        signed char& known = memo_[p * (name_.size() + 1) + n];
        if (known >= 0) return known;
        bool result;
        if (p == pattern_.size()) {
            result = n == name_.size();
        } else if (pattern_[p] == '*') {
            result = matches(p + 1, n) || (n < name_.size() && matches(p, n + 1));
        } else {
            result = n < name_.size() && (pattern_[p] == '?' || pattern_[p] == name_[n]) &&
                     matches(p + 1, n + 1);
        }
        known = result;
        return result;
    }

  private:
    const std::string& pattern_;
    const std::string& name_;
    std::vector<signed char> memo_;
};

bool modelMatches(const std::string& pattern, const std::string& name) {
    if (Model(pattern, name).matches(0, 0)) return true;
    if (pattern.size() >= 2 && pattern.compare(pattern.size() - 2, 2, ".*") == 0) {
        const std::string stem = pattern.substr(0, pattern.size() - 2);
        return Model(stem, name).matches(0, 0);
    }
    return false;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    Spelt pattern, name;
    Spelt* current = &pattern;
    for (std::size_t i = 0; i < size; ++i) {
        if (data[i] == kSeparator && current == &pattern) {
            current = &name;
        } else {
            append(*current, data[i]);
        }
    }
    const bool got = pulsaro::matchesWildcard(pattern.utf8, name.utf8);
    const bool expected = modelMatches(pattern.folded, name.folded);
    FUZZ_CHECK(got == expected, "pattern \"" + pattern.utf8 + "\" name \"" + name.utf8 +
                                    "\": matcher says " + (got ? "match" : "no match"));

    // Any bytes at all, valid UTF-8 or not, must not upset the matcher.
    const std::string raw(reinterpret_cast<const char*>(data), size);
    const std::size_t cut = raw.find('\n');
    (void)pulsaro::matchesWildcard(raw.substr(0, cut),
                                   cut == std::string::npos ? "" : raw.substr(cut + 1));
    return 0;
}
