// The contract of host.h that every host keeps alike, on real files in a temporary drive folder:
// built into the Linux tests and, cross-built, into the Windows tests run under Wine.

#include "action.h"
#include "common_support.h"
#include "host.h"
#include "host_expectations.h"
#include "temp_drive.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

namespace fs = std::filesystem;
using namespace pulsaro;
using namespace pulsaro::test;

namespace {

using Names = std::vector<std::string>;

TEST(KillFiles, DeletesMatchingFilesOnlyDirectlyInTheFolder) {
    struct Case {
        const char* pattern;
        Names left;
        bool succeeds;
    };
    const Case cases[] = {
        {R"(c:\root\*.*)", {"sub"}, true},
        {R"(c:\ROOT\*.TXT)", {"NOEXT", "b.exe", "sub"}, true},
        {R"(c:\root\?.txt)", {"NOEXT", "b.exe", "sub"}, true},
        {R"(c:\root\noext)", {"a.txt", "b.exe", "c.TXT", "sub"}, true},
        {R"(c:\root\*.zip)", {"NOEXT", "a.txt", "b.exe", "c.TXT", "sub"}, false},
        {R"(c:\missing\*.*)", {"NOEXT", "a.txt", "b.exe", "c.TXT", "sub"}, false},
    };
    for (const Case& c : cases) {
        TempDrive t;
        const fs::path root = t.onDrive("root");
        fs::create_directories(root / "sub" / "deeper");
        for (const char* name : {"a.txt", "b.exe", "c.TXT", "NOEXT"}) writeFile(root / name, name);
        writeFile(root / "sub" / "inner.txt", "inner");

        const OpResult result = KillFiles(c.pattern);
        EXPECT_EQ(result.ok(), c.succeeds) << c.pattern << ": " << result.reason();
        EXPECT_EQ(listFolder(root), c.left) << c.pattern;
        EXPECT_EQ(listFolder(root / "sub"), (Names{"deeper", "inner.txt"}));
    }
}

TEST(FolderOperations, FailWithoutTouchingWhatIsThere) {
    TempDrive t;
    fs::create_directories(t.onDrive("full/child"));
    writeFile(t.onDrive("full/keep.txt"), "keep");
    fs::create_directories(t.onDrive("empty"));

    EXPECT_FALSE(RemoveDir(R"(c:\full)"));
    EXPECT_FALSE(RemoveDir(R"(c:\missing)"));
    EXPECT_FALSE(MakeDir(R"(c:\full)"));
    EXPECT_FALSE(MakeDir(R"(c:\FULL)"));
    EXPECT_FALSE(MakeDir(R"(c:\missing\child)"));
    EXPECT_EQ(listFolder(t.onDrive("full")), (Names{"child", "keep.txt"}));

    EXPECT_TRUE(RemoveDir(R"(c:\EMPTY)"));
    EXPECT_TRUE(MakeDir(R"(c:\made)"));
    EXPECT_EQ(listFolder(t.drive()), (Names{"full", "made"}));
}

TEST(FileCopy, ReplacesTheDestinationWhole) {
    TempDrive t;
    fs::create_directories(t.onDrive("dest"));
    writeFile(t.dist() / "short.bin", "new");
    writeFile(t.onDrive("dest/target.bin"), std::string(10000, 'o'));

    ASSERT_TRUE(FileCopy("SHORT.bin", R"(c:\dest\target.bin)"));
    EXPECT_EQ(listFolder(t.onDrive("dest")), Names{"target.bin"});
    EXPECT_EQ(readFile(t.onDrive("dest/target.bin")), "new") << "no tail of the longer old file";
}

TEST(FileCopy, FailsCleanlyOnBadSourcesAndDestinations) {
    TempDrive t;
    fs::create_directories(t.onDrive("dest/folder"));
    fs::create_directories(t.dist() / "a_folder");
    writeFile(t.dist() / "good", "good");
    writeFile(t.onDrive("dest/readonly"), "old");
    fs::permissions(t.onDrive("dest/readonly"), fs::perms(0444));
    struct Case {
        const char* source;
        const char* destination;
        ErrorCode code;
    };
    const Case cases[] = {
        {"absent", R"(c:\dest\x)", expected::kNoSuchFile},
        {"a_folder", R"(c:\dest\x)", ErrorCode::rule(FailedRule::NotARegularFile)},
        {"good", R"(c:\nofolder\x)", expected::kNoSuchFolder},
        {"good", R"(c:\dest\folder)", expected::kFolderInTheWay},
        {"good", R"(c:\dest\readonly)", ErrorCode::rule(FailedRule::ReadOnlyDestination)},
    };
    for (const Case& c : cases) {
        const OpResult result = FileCopy(c.source, c.destination);
        EXPECT_FALSE(result) << c.source << " -> " << c.destination;
        EXPECT_EQ(result.code(), c.code)
            << c.source << " -> " << c.destination << ": " << result.reason();
    }
    EXPECT_EQ(listFolder(t.onDrive("dest")), (Names{"folder", "readonly"}));
    EXPECT_EQ(readFile(t.onDrive("dest/readonly")), "old");
}

TEST(FileCopy, TakesARelativeSourceFromTheCurrentFolderFirst) {
    TempDrive t;
    const fs::path own = testProgramFolder();
    const std::string name = "pulsaro-own-folder-probe.txt";
    writeFile(own / name, "beside the program");
    writeFile(t.dist() / name, "current folder");
    ASSERT_TRUE(FileCopy(name, R"(c:\from_cwd)"));
    fs::remove(t.dist() / name);
    ASSERT_TRUE(FileCopy(name, R"(c:\from_own)"));
    fs::remove(own / name);
    EXPECT_FALSE(FileCopy(name, R"(c:\from_nowhere)"));
    EXPECT_EQ(readFile(t.onDrive("from_cwd")), "current folder");
    EXPECT_EQ(readFile(t.onDrive("from_own")), "beside the program");
}

// A copy killed at any moment leaves the old destination or the new one, whole, and no
// temporary file once the next copy to the same destination is done.
TEST(FileCopy, KilledPartWayLeavesTheOldFileOrTheNewOne) {
    TempDrive t;
    const std::string oldBytes = patternBytes(1000, 1);
    const std::string newBytes = patternBytes(64 << 20, 2);
    writeFile(t.dist() / "big.bin", newBytes);
    fs::create_directories(t.onDrive("dest"));
    int sawOld = 0;
    for (int round = 0; round < 8; ++round) {
        writeFile(t.onDrive("dest/app.exe"), oldBytes);
        ChildProcess copy(helperProgram("file_copy_tool"), {"big.bin", R"(c:\dest\app.exe)"});
        ASSERT_TRUE(copy.started());
        std::this_thread::sleep_for(std::chrono::milliseconds(round * 40));
        copy.kill();
        const std::string left = readFile(t.onDrive("dest/app.exe"));
        ASSERT_TRUE(left == oldBytes || left == newBytes) << "round " << round << ": mixed file";
        sawOld += left == oldBytes;
    }
    EXPECT_GT(sawOld, 0) << "no kill landed before the copy ended; the test proved nothing";
    ASSERT_TRUE(FileCopy("big.bin", R"(c:\dest\app.exe)"));
    EXPECT_EQ(listFolder(t.onDrive("dest")), Names{"app.exe"});
    EXPECT_EQ(readFile(t.onDrive("dest/app.exe")), newBytes);
}

TEST(PartialFile, ReplacesItsTargetOnlyWhenCommitted) {
    TempDrive t;
    fs::create_directories(t.onDrive("dest"));
    writeFile(t.onDrive("dest/app.exe"), "old");
    {
        PartialFile abandoned;
        ASSERT_TRUE(abandoned.open(R"(c:\dest\app.exe)"));
        ASSERT_TRUE(abandoned.append("never committed", 15));
    }
    EXPECT_EQ(listFolder(t.onDrive("dest")), Names{"app.exe"}) << "nothing left behind";
    EXPECT_EQ(readFile(t.onDrive("dest/app.exe")), "old");

    PartialFile file;
    ASSERT_TRUE(file.open(R"(c:\dest\app.exe)"));
    ASSERT_TRUE(file.append("new ", 4));
    ASSERT_TRUE(file.append("bytes", 5));
    EXPECT_EQ(file.size(), 9);
    EXPECT_EQ(readFile(t.onDrive("dest/app.exe")), "old") << "untouched until the commit";
    ASSERT_TRUE(file.commit());
    EXPECT_EQ(readFile(t.onDrive("dest/app.exe")), "new bytes");
    EXPECT_EQ(listFolder(t.onDrive("dest")), Names{"app.exe"});

    PartialFile nowhere;
    EXPECT_FALSE(nowhere.open(R"(c:\missing\app.exe)"));
}

TEST(SameContents, IsTrueOnlyForTwoReadableFilesWithTheSameBytes) {
    TempDrive t;
    writeFile(t.onDrive("a"), patternBytes(3 << 20, 1));
    writeFile(t.onDrive("same"), patternBytes(3 << 20, 1));
    writeFile(t.onDrive("last_byte"), patternBytes(3 << 20, 1).substr(0, (3 << 20) - 1) + "!");
    writeFile(t.onDrive("shorter"), patternBytes(3 << 20, 1).substr(0, 1000));
    fs::create_directories(t.onDrive("folder"));
    struct Case {
        const char* other;
        bool same;
    };
    for (const Case& c :
         {Case{R"(c:\SAME)", true}, Case{R"(c:\last_byte)", false}, Case{R"(c:\shorter)", false},
          Case{R"(c:\absent)", false}, Case{R"(c:\folder)", false}}) {
        EXPECT_EQ(SameContents(R"(c:\a)", c.other), c.same) << c.other;
    }
}

TEST(Action, RecordsEachFailedStepAndRunsTheNextOnes) {
    TempDrive t;
    CapturedDiagnostics diagnostics;
    setProgramTitle("pulsaro_test");
    Action run;
    run(KillFiles(R"(c:\nothing\*.*)"));
    run(MakeDir(R"(c:\made)"));
    run(RemoveDir(R"(c:\absent)"));
    run(MakeDir(R"(c:\made\again)"));
    EXPECT_TRUE(fs::is_directory(t.onDrive("made/again")));
    ASSERT_EQ(diagnostics.lines.size(), 2u);
    EXPECT_EQ(run.failedSteps(), 2);
    EXPECT_EQ(diagnostics.lines[0].rfind(R"(pulsaro_test: KillFiles "c:\nothing\*.*": )", 0), 0u)
        << diagnostics.lines[0];
    EXPECT_EQ(diagnostics.lines[1].rfind(R"(pulsaro_test: RemoveDir "c:\absent": )", 0), 0u)
        << diagnostics.lines[1];
}

TEST(GetTimer, CountsSecondsAndNeverGoesBack) {
    const double start = GetTimer();
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    const double slept = GetTimer();
    EXPECT_GE(slept - start, 0.19);
    for (double previous = slept, now; (now = GetTimer()) < slept + 0.05; previous = now) {
        ASSERT_GE(now, previous);
    }
}

}  // namespace
