// The contract of host.h that every host keeps alike, on real files in a temporary drive folder:
// built into the Linux tests and, cross-built, into the Windows tests run under Wine.

#include "action.h"
#include "common_support.h"
#include "host.h"
#include "host_expectations.h"
#include "program_starts.h"
#include "temp_drive.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace fs = std::filesystem;
using namespace pulsaro;
using namespace pulsaro::test;

namespace {

using Names = std::vector<std::string>;

// A failure that leaves nothing undone (nothing to delete) is told apart from one that does.
TEST(KillFiles, DeletesMatchingFilesOnlyDirectlyInTheFolder) {
    struct Case {
        const char* pattern;
        Names left;
        bool succeeds;
        bool leavesNothingUndone;
    };
    const Case cases[] = {
        {R"(c:\root\*.*)", {"sub"}, true, false},
        {R"(c:\ROOT\*.TXT)", {"NOEXT", "b.exe", "sub"}, true, false},
        {R"(c:\root\?.txt)", {"NOEXT", "b.exe", "sub"}, true, false},
        {R"(c:\root\noext)", {"a.txt", "b.exe", "c.TXT", "sub"}, true, false},
        {R"(c:\root\*.zip)", {"NOEXT", "a.txt", "b.exe", "c.TXT", "sub"}, false, true},
        {R"(c:\missing\*.*)", {"NOEXT", "a.txt", "b.exe", "c.TXT", "sub"}, false, true},
    };
    for (const Case& c : cases) {
        TempDrive t;
        const fs::path root = t.onDrive("root");
        fs::create_directories(root / "sub" / "deeper");
        for (const char* name : {"a.txt", "b.exe", "c.TXT", "NOEXT"}) writeFile(root / name, name);
        writeFile(root / "sub" / "inner.txt", "inner");

        const OpResult result = KillFiles(c.pattern);
        EXPECT_EQ(result.ok(), c.succeeds) << c.pattern << ": " << result.reason();
        EXPECT_EQ(result.leavesNothingUndone(), c.leavesNothingUndone) << c.pattern;
        EXPECT_EQ(listFolder(root), c.left) << c.pattern;
        EXPECT_EQ(listFolder(root / "sub"), (Names{"deeper", "inner.txt"}));
    }
}

// A folder that is already as wanted (there to be made, gone or holding only folders to be
// removed) fails leaving nothing undone; anything else that fails leaves something undone.
TEST(FolderOperations, FailWithoutTouchingWhatIsThere) {
    TempDrive t;
    fs::create_directories(t.onDrive("full/child"));
    writeFile(t.onDrive("full/keep.txt"), "keep");
    fs::create_directories(t.onDrive("folders_only/a/deeper"));
    fs::create_directories(t.onDrive("folders_only/b"));
    fs::create_directories(t.onDrive("empty"));
    writeFile(t.onDrive("a_file"), "file");
    enum Outcome { Done, NothingUndone, SomethingUndone };
    struct Case {
        OpResult (*operation)(std::string_view) noexcept;
        const char* name;
        const char* path;
        Outcome outcome;
    };
    const Case cases[] = {
        {RemoveDir, "RemoveDir", R"(c:\full)", SomethingUndone},
        {RemoveDir, "RemoveDir", R"(c:\missing)", NothingUndone},
        {RemoveDir, "RemoveDir", R"(c:\missing\child)", NothingUndone},
        {RemoveDir, "RemoveDir", R"(c:\Folders_Only)", NothingUndone},
        {RemoveDir, "RemoveDir", R"(c:\a_file)", SomethingUndone},
        {MakeDir, "MakeDir", R"(c:\full)", NothingUndone},
        {MakeDir, "MakeDir", R"(c:\FULL)", NothingUndone},
        {MakeDir, "MakeDir", R"(c:\missing\child)", SomethingUndone},
        {MakeDir, "MakeDir", R"(c:\a_file)", SomethingUndone},
        {RemoveDir, "RemoveDir", R"(c:\EMPTY)", Done},
        {MakeDir, "MakeDir", R"(c:\made)", Done},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.name) + " " + c.path);
        const OpResult result = c.operation(c.path);
        EXPECT_EQ(result.ok(), c.outcome == Done) << result.reason();
        EXPECT_EQ(result.leavesNothingUndone(), c.outcome == NothingUndone) << result.reason();
        EXPECT_EQ(result.operation(), c.name);
    }
    EXPECT_EQ(listFolder(t.onDrive("full")), (Names{"child", "keep.txt"}));
    EXPECT_EQ(listFolder(t.onDrive("folders_only")), (Names{"a", "b"}));
    EXPECT_EQ(readFile(t.onDrive("a_file")), "file");
    EXPECT_EQ(listFolder(t.drive()), (Names{"a_file", "folders_only", "full", "made"}));
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
    fs::create_directories(t.onDrive("dest/folder"));
    PartialFile overAFolder;
    EXPECT_EQ(overAFolder.open(R"(c:\dest\folder)").code(),
              ErrorCode::rule(FailedRule::NotARegularFile));
}

TEST(FileLen, MeasuresAFileAndRefusesAFolder) {
    TempDrive t;
    writeFile(t.onDrive("file.bin"), patternBytes(123457, 3));
    fs::create_directories(t.onDrive("folder"));
    std::int64_t length = -1;
    ASSERT_TRUE(FileLen(R"(c:\FILE.bin)", length));
    EXPECT_EQ(length, 123457);
    EXPECT_EQ(FileLen(R"(c:\folder)", length).code(), ErrorCode::rule(FailedRule::NotARegularFile));
    EXPECT_EQ(FileLen(R"(c:\absent)", length).code(), expected::kNoSuchFile);
}

TEST(ReadSmallFile, ReadsAWholeFileWithinItsLimitAndRefusesALongerOne) {
    TempDrive t;
    writeFile(t.onDrive("small.bin"), std::string("sixteen\0bytes..", 16));
    fs::create_directories(t.onDrive("folder"));
    struct Case {
        const char* path;
        std::size_t limit;
        ErrorCode code;
    };
    const Case cases[] = {
        {R"(c:\SMALL.bin)", 16, {}},
        {R"(c:\small.bin)", 15, ErrorCode::rule(FailedRule::LargerThanAllowed)},
        {R"(c:\folder)", 16, ErrorCode::rule(FailedRule::NotARegularFile)},
        {R"(c:\absent)", 16, expected::kNoSuchFile},
    };
    for (const Case& c : cases) {
        std::string bytes = "untouched";
        const OpResult result = ReadSmallFile(c.path, c.limit, bytes);
        EXPECT_EQ(result.code(), c.code) << c.path << " " << c.limit << ": " << result.reason();
        EXPECT_EQ(bytes, result ? std::string("sixteen\0bytes..", 16) : "untouched") << c.path;
    }
}

// One fixed key, message and signature that the cryptography of every host must accept, and must
// refuse once one bit of the message or of the signature differs: the hosts can never disagree on
// what a signature says.
TEST(VerifyFileSignature, AcceptsTheKnownAnswerAndRefusesEachOneBitChange) {
    const auto bytes = [](std::string_view hex) {
        std::array<std::uint8_t, 64> out{};
        for (std::size_t i = 0; i < out.size(); ++i) {
            out[i] = static_cast<std::uint8_t>(
                std::stoi(std::string(hex.substr(2 * i, 2)), nullptr, 16));
        }
        return out;
    };
    const P256PublicKey key = bytes(
        "ef04e337b64e5c795b95b408fbd7fe0dcdbd68ffcf2c7ad7df6f24ba1544e87e"
        "046610b9b681e08e934926a79eb9d507282c0f32811d1f1da9ccc6faaa9d94b7");
    const P256PublicKey otherKey = bytes(
        "98e060998f2e205168eabd293113de4db8edab3a42dfd5fb1f6e818dcde04bf7"
        "26074dc4751dca95d8df1f26652e189b46fee576a77f15e00289c6e792a0c81a");
    const P256Signature signature = bytes(
        "a54a0ea6a0d67613add8173365627722e7152be25831fd82a99be6c97bd099f6"
        "bfd6a19aa40202238d6f109b5d733fff055fcfe174df518bd649641f237d8cc1");
    const std::string message = "Pulsaro Zentra: a known answer for ECDSA P-256 with SHA-256.\n";
    TempDrive t;
    const char* path = R"(c:\message.txt)";
    writeFile(t.onDrive("message.txt"), message);
    const ErrorCode mismatch = ErrorCode::rule(FailedRule::SignatureMismatch);
    const std::array<P256PublicKey, 1> theKey{key};
    const std::array<P256PublicKey, 1> anotherKey{otherKey};
    const std::array<P256PublicKey, 2> bothKeys{otherKey, key};

    const OpResult accepted = VerifyFileSignature(path, signature, theKey);
    EXPECT_TRUE(accepted) << accepted.reason();
    EXPECT_TRUE(VerifyFileSignature(path, signature, bothKeys))
        << "a signature by any one of the keys";
    EXPECT_EQ(VerifyFileSignature(path, signature, anotherKey).code(), mismatch);
    EXPECT_EQ(VerifyFileSignature(path, signature, {}).code(), mismatch);
    for (const std::size_t bit : {std::size_t{0}, message.size() * 8 - 1}) {
        std::string changed = message;
        changed[bit / 8] = static_cast<char>(changed[bit / 8] ^ (1 << (bit % 8)));
        writeFile(t.onDrive("message.txt"), changed);
        EXPECT_EQ(VerifyFileSignature(path, signature, theKey).code(), mismatch)
            << "message bit " << bit;
    }
    writeFile(t.onDrive("message.txt"), message);
    for (const std::size_t bit :
         {std::size_t{0}, std::size_t{255}, std::size_t{256}, std::size_t{511}}) {
        P256Signature changed = signature;
        changed[bit / 8] = static_cast<std::uint8_t>(changed[bit / 8] ^ (0x80 >> (bit % 8)));
        EXPECT_EQ(VerifyFileSignature(path, changed, theKey).code(), mismatch)
            << "signature bit " << bit;
    }
    EXPECT_EQ(VerifyFileSignature(R"(c:\absent)", signature, theKey).code(), expected::kNoSuchFile);
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

// By default only a failure that leaves something undone is said, in plain words; a trace says
// every step and its outcome. Either way every step runs and every failure counts.
TEST(Action, SaysWhatWasLeftUndoneOrWithATraceEveryStep) {
    struct Case {
        std::optional<std::string> trace;
        std::vector<std::string> linesStartingWith;
    };
    const std::string copyFailed = R"(pulsaro_test: could not copy "absent" to "c:\made\copy": )";
    const Case cases[] = {
        {std::nullopt, {copyFailed}},
        {"0", {copyFailed}},
        {"1",
         {R"(pulsaro_test: KillFiles "c:\nothing\*.*": failed, nothing left undone: )",
          R"(pulsaro_test: MakeDir "c:\made": done)",
          R"(pulsaro_test: RemoveDir "c:\absent": failed, nothing left undone: )",
          R"(pulsaro_test: MakeDir "c:\made\again": done)",
          R"(pulsaro_test: FileCopy "absent" "c:\made\copy": failed: )",
          R"(pulsaro_test: MakeDir "c:\made": failed, nothing left undone: )"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE("PULSARO_TRACE=" + c.trace.value_or("(unset)"));
        TempDrive t;
        const ScopedEnv trace("PULSARO_TRACE", c.trace);
        CapturedDiagnostics diagnostics;
        setProgramTitle("pulsaro_test");
        Action run;
        run(KillFiles(R"(c:\nothing\*.*)"));
        run(MakeDir(R"(c:\made)"));
        run(RemoveDir(R"(c:\absent)"));
        run(MakeDir(R"(c:\made\again)"));
        run(FileCopy("absent", R"(c:\made\copy)"));
        run(MakeDir(R"(c:\made)"));
        EXPECT_TRUE(fs::is_directory(t.onDrive("made/again")));
        EXPECT_EQ(run.failedSteps(), 4);
        ASSERT_EQ(diagnostics.lines.size(), c.linesStartingWith.size());
        for (std::size_t i = 0; i < diagnostics.lines.size(); ++i) {
            EXPECT_EQ(diagnostics.lines[i].rfind(c.linesStartingWith[i], 0), 0u)
                << diagnostics.lines[i];
        }
    }
}

TEST_F(ProgramStarts, ShellGivesEachFieldAsOneArgumentAndReturnsAtOnce) {
    const fs::path release = drive.base() / "release";
    const ScopedEnv releaseEnv("RECORDER_RELEASE", release.string());
    ASSERT_TRUE(Shell(R"(c:\TOOLS\recorder  c:\pulsaro_zentra\MSWINSCK.OCX)", kMinimizedFocus));
    const std::string started = recordHolding("]\n");
    const std::string argument = expected::pathAsStarted(
        drive.drive() / "pulsaro_zentra" / "MSWINSCK.OCX", R"(c:\pulsaro_zentra\MSWINSCK.OCX)");
    EXPECT_NE(started.find("count 1\n[" + argument + "]\n"), std::string::npos) << started;
    EXPECT_EQ(started.find("finished"), std::string::npos) << "Shell waited for the program";
    writeFile(release, "");
    EXPECT_NE(recordHolding("finished").find("finished"), std::string::npos);
}

TEST_F(ProgramStarts, ShellFailsForMissingAndUnrunnablePrograms) {
    writeFile(drive.onDrive("not_runnable.exe"), "just text");
    for (const char* failing : {"no_such_program_anywhere", R"(c:\nowhere\prog.exe)", "", "   ",
                                R"(c:\not_runnable.exe)"}) {
        EXPECT_FALSE(Shell(failing, kMinimizedFocus)) << failing;
    }
}

// A holder that lets go, and one that is killed, both let the next one through; never before. The
// lock's file is there while it is held, and gone afterwards, also when its holder was killed.
TEST(ExclusiveLock, OneHolderAtATimeAndAHolderThatDiesLetsGo) {
    for (const bool killed : {false, true}) {
        SCOPED_TRACE(killed ? "the holder is killed" : "the holder lets go");
        TempDrive t;
        const fs::path ready = t.base() / "ready";
        const fs::path release = t.base() / "release";
        ChildProcess holder(helperProgram("lock_holder"),
                            {R"(c:\update.lock)", ready.string(), release.string()});
        ASSERT_TRUE(eventually([&] { return fs::exists(ready); }));
        EXPECT_EQ(listFolder(t.drive()), Names{"update.lock"});
        ExclusiveLock lock;
        std::atomic<bool> asked = false;
        std::atomic<bool> toldToLetGo = false;
        std::atomic<bool> takenWhileHeld = false;
        std::optional<OpResult> acquired;
        std::thread next([&] {
            asked = true;
            acquired = lock.acquire(R"(c:\UPDATE.LOCK)");
            takenWhileHeld = !toldToLetGo;
        });

        ASSERT_TRUE(eventually([&] { return asked.load(); }));
        expected::letTheNextHolderWait();
        toldToLetGo = true;
        if (killed) {
            holder.kill();
        } else {
            writeFile(release, "");
        }
        next.join();

        EXPECT_FALSE(takenWhileHeld) << "taken while still held";
        ASSERT_TRUE(acquired && acquired->ok()) << (acquired ? acquired->reason() : "");
        const Names held = listFolder(t.drive());
        const std::vector<Names> allowed = expected::lockFilesOfTheNextHolder(killed);
        EXPECT_NE(std::ranges::find(allowed, held), allowed.end()) << testing::PrintToString(held);
        lock.release();
        EXPECT_EQ(listFolder(t.drive()), Names{});
    }
}

TEST(ExclusiveLock, RefusesAFolderInPlaceOfItsFileAtOnce) {
    TempDrive t;
    fs::create_directories(t.onDrive("update.lock"));
    ExclusiveLock lock;
    EXPECT_EQ(lock.acquire(R"(c:\update.lock)").code(), expected::kLockOnAFolder);
    EXPECT_TRUE(fs::is_directory(t.onDrive("update.lock")));
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
