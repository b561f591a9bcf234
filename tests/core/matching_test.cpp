// The wildcard matcher and name comparison, as the platform matches and compares file names.
// Built and run on every host.

#include "case_fold.h"
#include "wildcard.h"

#include <gtest/gtest.h>

namespace pulsaro {
namespace {

TEST(Wildcard, FollowsThePlatformRules) {
    struct Case {
        const char* pattern;
        const char* name;
        bool matches;
    };
    const Case cases[] = {
        {"*.*", "README", true},
        {"*.*", "a.b.c", true},
        {"*.*", ".hidden", true},
        {"*.exe", "SETUP.EXE", true},
        {"*.exe", "setup.exe2", false},
        {"*.exe", "exe", false},
        {"?.txt", "a.txt", true},
        {"?.txt", "ab.txt", false},
        {"?.txt", ".txt", false},
        {"a*.*", "abc", true},
        {"a*b", "aXXbYb", true},
        {"a*b", "aXXbY", false},
        {"PULSARO_*.exe", "pulsaro_zentra.exe", true},
        {"*", "", true},
        {"x", "X", true},
        {"\xC3\xA8*", "\xC3\x88T\xC3\x80", true},  // "è*" matches "ÈTÀ"
        {"?", "\xC3\xA8", true},                   // "?" is one character, not one byte
        {"***?", "", false},
        {"*.*", "**", true},
        {"*x", "*x", true},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(matchesWildcard(c.pattern, c.name), c.matches) << c.pattern << " vs " << c.name;
    }
}

TEST(NameComparison, IgnoresCaseTheUnicodeWayAndKeepsInvalidBytesApart) {
    struct Case {
        const char* a;
        const char* b;
        bool same;
    };
    const Case cases[] = {
        {"_Pulsaro", "_pulsaro", true},
        {"QUORVIN", "quorvin", true},
        {"\xC3\x89T\xC3\x89", "\xC3\xA9t\xC3\xA9", true},  // "ÉTÉ" / "été"
        {"\xCE\xA3", "\xCF\x82", true},                    // capital sigma / final sigma
        {"\xE1\xBA\x9E", "\xC3\x9F", true},                // capital sharp s / sharp s
        {"\xC3\x9F", "ss", false},                         // simple folding: one for one
        {"\xE2\x84\xAA", "k", true},                       // Kelvin sign
        {"a\xFF", "a\xFE", false},                         // two different invalid bytes
        {"a\xFF", "A\xFF", true},
        {"\xC3", "\xC3\xA9", false},  // a cut sequence is not a letter
        {"pulsaro", "pulsar0", false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(sameNameIgnoringCase(c.a, c.b), c.same) << c.a << " vs " << c.b;
    }
}

}  // namespace
}  // namespace pulsaro
