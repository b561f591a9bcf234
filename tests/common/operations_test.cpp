// The Linux host beyond the contract every host keeps (host_contract_test.cpp): links, file
// modes, and the starts of programs.

#include "host.h"
#include "process_support.h"
#include "temp_drive.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

namespace fs = std::filesystem;
using namespace pulsaro;
using namespace pulsaro::test;

namespace {

// A link among the files is removed itself; what it leads to is never touched.
TEST(KillFiles, RemovesALinkItselfNeverItsTarget) {
    TempDrive t;
    const fs::path root = t.onDrive("root");
    fs::create_directories(root);
    writeFile(root / "a.txt", "a");
    writeFile(t.base() / "target.txt", "target");
    fs::create_symlink(t.base() / "target.txt", root / "link");
    fs::create_directory_symlink(t.base(), root / "folder_link");

    EXPECT_TRUE(KillFiles(R"(c:\root\*.*)"));
    EXPECT_EQ(listFolder(root), std::vector<std::string>{"folder_link"}) << "a folder stays";
    EXPECT_EQ(readFile(t.base() / "target.txt"), "target");
}

TEST(FileCopy, KeepsTheSourceModesAndMakesProgramsExecutable) {
    TempDrive t;
    fs::create_directories(t.onDrive("dest"));
    writeFile(t.dist() / "short.bin", "new");
    fs::permissions(t.dist() / "short.bin", fs::perms(0640));
    writeFile(t.onDrive("dest/target.bin"), "old");

    ASSERT_TRUE(FileCopy("short.bin", R"(c:\dest\TARGET.bin)"));
    EXPECT_EQ(listFolder(t.onDrive("dest")), std::vector<std::string>{"target.bin"});
    EXPECT_EQ(fs::status(t.onDrive("dest/target.bin")).permissions(), fs::perms(0640));
    ASSERT_TRUE(FileCopy("short.bin", R"(c:\dest\program.EXE)"));
    EXPECT_EQ(fs::status(t.onDrive("dest/program.EXE")).permissions(), fs::perms(0750));
}

// The recorder's output once it holds the given text, or whatever is there at the deadline.
std::string recordHolding(const fs::path& file, const std::string& text) {
    std::string record;
    eventually([&] {
        record = fs::exists(file) ? readFile(file) : "";
        return record.find(text) != std::string::npos;
    });
    return record;
}

bool hasZombieChild() {
    for (const auto& entry : fs::directory_iterator("/proc")) {
        std::ifstream stat(entry.path() / "stat");
        std::string pid, comm, state;
        long ppid = 0;
        if (stat >> pid >> comm >> state >> ppid && ppid == getpid() && state == "Z") return true;
    }
    return false;
}

TEST(Shell, StartsDetachedAndReturnsAtOnce) {
    TempDrive t;
    fs::create_directories(t.onDrive("tools"));
    fs::copy_file(RECORDER, t.onDrive("tools/Recorder"));
    const fs::path output = t.base() / "record.txt";
    const fs::path release = t.base() / "release";
    setenv("RECORDER_OUTPUT", output.c_str(), 1);
    setenv("RECORDER_RELEASE", release.c_str(), 1);

    ASSERT_TRUE(Shell(R"(c:\TOOLS\recorder  c:\pulsaro_zentra\MSWINSCK.OCX)", kMinimizedFocus));
    const std::string started = recordHolding(output, "]\n");
    EXPECT_NE(started.find("count 1\n[c:\\pulsaro_zentra\\MSWINSCK.OCX]\n"), std::string::npos)
        << started;
    EXPECT_EQ(started.find("finished"), std::string::npos) << "Shell waited for the program";
    writeFile(release, "");
    EXPECT_NE(recordHolding(output, "finished").find("finished"), std::string::npos);
    EXPECT_FALSE(hasZombieChild());
    unsetenv("RECORDER_OUTPUT");
    unsetenv("RECORDER_RELEASE");
}

TEST(Shell, FindsProgramsThePlatformWayAndFailsForMissingOnes) {
    TempDrive t;
    fs::create_directories(t.onDrive("windows/system32"));
    fs::copy_file(RECORDER, t.onDrive("windows/system32/sysprog.exe"));
    const fs::path output = t.base() / "record.txt";
    setenv("RECORDER_OUTPUT", output.c_str(), 1);

    ASSERT_TRUE(Shell("SYSPROG one", kMinimizedFocus)) << "system folder, .exe appended, any case";
    EXPECT_NE(recordHolding(output, "finished").find("[one]"), std::string::npos);
    for (const char* missing : {"no_such_program_anywhere", R"(c:\nowhere\prog.exe)", "", "   "}) {
        const OpResult result = Shell(missing, kMinimizedFocus);
        EXPECT_FALSE(result) << missing;
    }
    writeFile(t.onDrive("not_runnable.exe"), "just text");
    EXPECT_FALSE(Shell(R"(c:\not_runnable.exe)", kMinimizedFocus)) << "a failed start is detected";
    unsetenv("RECORDER_OUTPUT");
}

}  // namespace
