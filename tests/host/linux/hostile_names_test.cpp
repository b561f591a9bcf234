// File names the platform would never allow, found in the install tree of this host: the wipe
// of "Passo 1" must still take every file and nothing else.

#include "host.h"
#include "layout.h"
#include "temp_drive.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

namespace fs = std::filesystem;
using namespace pulsaro;
using namespace pulsaro::test;

namespace {

TEST(HostileNames, TheWipeOfTheRootTakesEveryFileWhateverItsName) {
    TempDrive t;
    const fs::path root = t.onDrive("pulsaro_zentra");
    fs::create_directories(root / "QUORVIN");
    const std::vector<std::string> names = {
        "*x", "**", "a*b", "?", "*.*", "x y", "trailing.", ".hidden", "\xff\xfe", "\\back", "é.TXT",
    };
    for (const std::string& name : names) writeFile(root / name, name);

    EXPECT_TRUE(KillFiles(layout::kRootAllFiles));
    EXPECT_EQ(listFolder(root), std::vector<std::string>{"QUORVIN"});
}

TEST(HostileNames, APatternOnlyTakesTheNamesItMatches) {
    struct Case {
        const char* pattern;
        std::vector<std::string> left;
    };
    const Case cases[] = {
        {R"(c:\pulsaro_zentra\*x)", {"*", "**", "a*b", "x.y"}},
        {R"(c:\pulsaro_zentra\?)", {"**", "*x", "a*b", "x.y"}},
        {R"(c:\pulsaro_zentra\a?b)", {"*", "**", "*x", "x.y"}},
    };
    for (const Case& c : cases) {
        TempDrive t;
        const fs::path root = t.onDrive("pulsaro_zentra");
        fs::create_directories(root);
        for (const char* name : {"*", "**", "*x", "a*b", "x.y"}) writeFile(root / name, name);
        EXPECT_TRUE(KillFiles(c.pattern)) << c.pattern;
        EXPECT_EQ(listFolder(root), c.left) << c.pattern;
    }
}

}  // namespace
