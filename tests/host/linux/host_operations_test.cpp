// The Linux host beyond the contract every host keeps (host_contract_test.cpp): links, file
// modes, temporary files, and the starts of programs.

#include "host.h"
#include "process_support.h"
#include "program_starts.h"
#include "temp_drive.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <optional>
#include <thread>

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

// Sets the process's umask for one scope.
class ScopedUmask {
  public:
    explicit ScopedUmask(mode_t mask) : previous_(::umask(mask)) {}
    ~ScopedUmask() { ::umask(previous_); }
    ScopedUmask(const ScopedUmask&) = delete;
    ScopedUmask& operator=(const ScopedUmask&) = delete;

  private:
    mode_t previous_;
};

// As cp makes a new file: the source's mode, executable for whoever may read a ".exe", less
// what the umask forbids; never the bits that run a program as its owner.
TEST(FileCopy, ModeIsTheSourcesAsTheUmaskAllows) {
    struct Case {
        mode_t umask;
        fs::perms source;
        const char* destination;
        fs::perms copy;
    };
    const Case cases[] = {
        {022, fs::perms(0640), "target.bin", fs::perms(0640)},
        {022, fs::perms(0640), "program.EXE", fs::perms(0750)},
        {022, fs::perms(0666), "program.exe", fs::perms(0755)},
        {077, fs::perms(0666), "target.bin", fs::perms(0600)},
        {077, fs::perms(0644), "program.exe", fs::perms(0700)},
        {027, fs::perms(0777), "program.exe", fs::perms(0750)},
        {000, fs::perms(0644), "program.exe", fs::perms(0755)},
        {022, fs::perms(04755), "program.exe", fs::perms(0755)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.destination) + " under umask " + std::to_string(c.umask));
        TempDrive t;
        writeFile(t.dist() / "source", "bytes");
        fs::permissions(t.dist() / "source", c.source);
        const ScopedUmask umask(c.umask);

        ASSERT_TRUE(FileCopy("source", std::string("c:\\") + c.destination));

        EXPECT_EQ(fs::status(t.onDrive(c.destination)).permissions(), c.copy);
    }
}

pid_t startCopyTool(const fs::path& tool, const char* source, const char* destination) {
    const pid_t pid = fork();
    if (pid == 0) {
        execl(tool.c_str(), tool.c_str(), source, destination, nullptr);
        _exit(127);
    }
    return pid;
}

// A copy ended part-way, by any signal, leaves the old destination whole and nothing else. The
// copy is stopped while it has written bytes and the destination is not yet the new file, and
// only then sent the signal, so the signal lands inside the copy every time.
TEST(FileCopy, EndedPartWayLeavesTheOldFileAndNothingElse) {
    TempDrive t;
    const fs::path tool = fs::path(COPY_TOOL);
    const std::string oldBytes = patternBytes(1000, 1);
    constexpr std::uintmax_t kNewSize = 64 << 20;
    writeFile(t.dist() / "big.bin", patternBytes(kNewSize, 2));
    const fs::path dest = t.onDrive("dest");
    fs::create_directories(dest);
    for (const int signal : {SIGKILL, SIGTERM, SIGINT, SIGHUP}) {
        SCOPED_TRACE(strsignal(signal));
        pid_t pid = -1;
        Stopped stop = Stopped::Ended;
        // The stop comes a moment after the first bytes are seen; a copy may finish meanwhile.
        for (int attempt = 0; attempt < 20 && stop != Stopped::AtTheMoment; ++attempt) {
            if (stop == Stopped::Later) endNow(pid);
            writeFile(dest / "app.exe", oldBytes);
            pid = startCopyTool(tool, "big.bin", R"(c:\dest\app.exe)");
            stop = stopAt(pid, [&] {
                return bytesOpenIn(pid, dest) > 0 && fs::file_size(dest / "app.exe") != kNewSize;
            });
        }
        if (stop == Stopped::Later) endNow(pid);
        ASSERT_EQ(stop, Stopped::AtTheMoment) << "never caught the copy part-way";

        ::kill(pid, signal);
        ::kill(pid, SIGCONT);
        int status = 0;
        ASSERT_EQ(waitpid(pid, &status, 0), pid);
        EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == signal) << "status " << status;
        EXPECT_TRUE(readFile(dest / "app.exe") == oldBytes) << "the old file is not whole";
        EXPECT_EQ(listFolder(dest), std::vector<std::string>{"app.exe"});
    }
}

// Another process that holds the lock of a file, as a live writer holds its temporary file's,
// until the object goes.
class LockHolder {
  public:
    explicit LockHolder(const fs::path& file) {
        int ready[2];
        if (pipe(ready) != 0) return;
        pid_ = fork();
        if (pid_ == 0) {
            const int fd = open(file.c_str(), O_RDWR);
            const char locked = flock(fd, LOCK_EX) == 0 ? 'y' : 'n';
            (void)!write(ready[1], &locked, 1);
            for (;;) pause();
        }
        char locked = 'n';
        holding_ = pid_ > 0 && read(ready[0], &locked, 1) == 1 && locked == 'y';
        close(ready[0]);
        close(ready[1]);
    }
    ~LockHolder() {
        if (pid_ <= 0) return;
        kill(pid_, SIGKILL);
        waitpid(pid_, nullptr, 0);
    }
    LockHolder(const LockHolder&) = delete;
    LockHolder& operator=(const LockHolder&) = delete;
    bool holding() const { return holding_; }

  private:
    pid_t pid_ = -1;
    bool holding_ = false;
};

// A temporary file of a copy that was killed is taken away by the next copy to the same
// destination once nobody holds its lock, whatever process now has the number in its name; one
// that a live writer holds, or that is no file of ours, stays.
TEST(FileCopy, TakesAwayAbandonedTemporaryFilesOnly) {
    TempDrive t;
    fs::create_directories(t.onDrive("dest"));
    writeFile(t.dist() / "new.bin", "new");
    const fs::path dest = t.onDrive("dest");
    const std::string prefix = ".app.exe.partial-";
    // Named after this very process, which is alive, as a killed copy's file may well be.
    writeFile(dest / (prefix + std::to_string(getpid()) + "-1"), "abandoned");
    writeFile(dest / (prefix + "1-2"), "abandoned by a process long gone");
    fs::create_symlink("app.exe", dest / (prefix + "link"));
    fs::create_directory(dest / (prefix + "folder"));
    writeFile(dest / (prefix + "held"), "a live writer's");
    const LockHolder writer(dest / (prefix + "held"));
    ASSERT_TRUE(writer.holding());

    EXPECT_TRUE(FileCopy("new.bin", R"(c:\dest\app.exe)"));

    EXPECT_EQ(listFolder(dest), (std::vector<std::string>{prefix + "folder", prefix + "held",
                                                          prefix + "link", "app.exe"}));
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

TEST_F(ProgramStarts, ShellLeavesNoZombieOnceTheProgramHasEnded) {
    ASSERT_TRUE(Shell(R"(c:\tools\recorder)", kMinimizedFocus));
    ASSERT_NE(recordHolding("finished").find("finished"), std::string::npos);
    EXPECT_TRUE(eventually([] { return !hasZombieChild(); }));
}

TEST_F(ProgramStarts, ShellFindsTheSystemFolderAnyCaseWithExeAppended) {
    fs::create_directories(drive.onDrive("windows/system32"));
    fs::copy_file(recorderProgram(), drive.onDrive("windows/system32/sysprog.exe"));
    ASSERT_TRUE(Shell("SYSPROG one", kMinimizedFocus));
    EXPECT_NE(recordHolding("finished").find("[one]"), std::string::npos);
}

// The folder of the program a recorder was started as, once it has finished.
fs::path recordedProgramFolder(const fs::path& output) {
    recordHolding(output, "finished");
    const std::vector<std::string> record = linesOf(output);
    const std::string prefix = "program ";
    if (record.size() < 2 || !record[1].starts_with(prefix)) return {};
    return fs::path(record[1].substr(prefix.size())).parent_path();
}

// A bare name is looked for beside the running program before the current folder.
TEST(Shell, FindsABareNameBesideTheRunningProgramBeforeTheCurrentFolder) {
    for (const bool beside : {true, false}) {
        SCOPED_TRACE(beside ? "beside the program and in the current folder"
                            : "in the current folder only");
        TempDrive t;
        const fs::path programFolder = t.base() / "program";
        fs::create_directories(programFolder);
        fs::copy_file(SHELL_TOOL, programFolder / "shell_tool");
        if (beside) fs::copy_file(recorderProgram(), programFolder / "probe_tool");
        fs::copy_file(recorderProgram(), t.dist() / "probe_tool");
        const fs::path output = t.base() / "record.txt";
        const ScopedEnv recorder("RECORDER_OUTPUT", output.string());

        const Finished run =
            runToEnd(programFolder / "shell_tool", {"probe_tool  one"}, {}, t.dist());

        ASSERT_EQ(run.exitCode, 0) << run.output;
        EXPECT_EQ(recordedProgramFolder(output), beside ? programFolder : t.dist());
    }
}

// Makes the drive a Wine prefix's drive_c: its parent holds Wine's registry.
void makeDriveAWinePrefix(const TempDrive& t) {
    writeFile(t.base() / "system.reg", "WINE REGISTRY Version 2\n");
}

TEST(Shell, StandInsReplaceOnlyTheSystemFoldersOfADriveThatIsNotAWinePrefix) {
    struct Case {
        const char* name;
        bool winePrefix;
        bool inSystem32;
        bool onPath;
        const char* runs;  // the folder of the program started, or nullptr for none found
    };
    const Case cases[] = {
        {"stand-in alone", false, false, false, "system_standins"},
        {"the system folder first", false, true, false, "system32"},
        {"the stand-in before PATH", false, false, true, "system_standins"},
        {"a prefix: stand-in never", true, false, false, nullptr},
        {"a prefix: its system folder", true, true, true, "system32"},
        {"a prefix: then PATH", true, false, true, "bin"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TempDrive t;
        if (c.winePrefix) makeDriveAWinePrefix(t);
        fs::create_directories(t.dist() / "system_standins");
        fs::copy_file(recorderProgram(), t.dist() / "system_standins" / "probe_tool");
        if (c.inSystem32) {
            fs::create_directories(t.onDrive("windows/system32"));
            fs::copy_file(recorderProgram(), t.onDrive("windows/system32/probe_tool.exe"));
        }
        std::optional<OnPath> onPath;
        if (c.onPath) onPath.emplace(recorderProgram(), "probe_tool");
        const fs::path output = t.base() / "record.txt";
        const ScopedEnv recorder("RECORDER_OUTPUT", output.string());

        const OpResult result = Shell("probe_tool  one", kMinimizedFocus);
        ASSERT_EQ(result.ok(), c.runs != nullptr) << result.reason();
        if (!c.runs) {
            EXPECT_EQ(result.code(), ErrorCode::rule(FailedRule::ProgramNotFound));
            continue;
        }
        recordHolding(output, "finished");
        const std::vector<std::string> record = linesOf(output);
        ASSERT_GE(record.size(), 2u);
        EXPECT_EQ(
            fs::path(record[1].substr(std::string("program ").size())).parent_path().filename(),
            c.runs);
    }
}

TEST(Shell, StartsAWindowsProgramThroughWineInThePrefixOfTheDrive) {
    struct Case {
        const char* name;
        bool winePrefix;
        std::optional<std::string> inherited;
        const char* expected;  // the WINEPREFIX Wine is given; nullptr: the drive's parent
    };
    const Case cases[] = {
        {"the drive's prefix replaces another", true, "/another/prefix", nullptr},
        {"the drive's prefix", true, std::nullopt, nullptr},
        {"not a prefix: Wine's own choice", false, "/another/prefix", "/another/prefix"},
        {"not a prefix, none given", false, std::nullopt, "unset"},
    };
    const OnPath wine(recorderProgram(), "wine");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TempDrive t;
        if (c.winePrefix) makeDriveAWinePrefix(t);
        fs::create_directories(t.onDrive("apps"));
        writeFile(t.onDrive("apps/Prog.exe"), windowsProgramBytes());
        const fs::path output = t.base() / "record.txt";
        const ScopedEnv recorder("RECORDER_OUTPUT", output.string());
        const ScopedEnv prefix("WINEPREFIX", c.inherited);

        ASSERT_TRUE(Shell(R"(c:\APPS\prog  one  two)", kMinimizedFocus));
        const std::string expectedPrefix = c.expected ? c.expected : t.base().string();
        EXPECT_NE(recordHolding(output, "finished")
                      .find("count 3\n[" + t.onDrive("apps/Prog.exe").string() +
                            "]\n[one]\n[two]\nWINEPREFIX " + expectedPrefix + "\n"),
                  std::string::npos)
            << readFile(output);
    }
}

TEST(Shell, AWindowsProgramWithoutWineFailsSayingWineIsNeeded) {
    struct Case {
        const char* name;
        std::string bytes;
        ErrorCode code;
    };
    std::string mzOnly = windowsProgramBytes();
    mzOnly.replace(0x40, 2, "NE");
    const Case cases[] = {
        {"a Windows program", windowsProgramBytes(), ErrorCode::rule(FailedRule::NeedsWine)},
        {"\"MZ\" without the PE signature", mzOnly, ErrorCode::system(ENOEXEC)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TempDrive t;
        makeDriveAWinePrefix(t);
        writeFile(t.onDrive("prog.exe"), c.bytes);
        fs::permissions(t.onDrive("prog.exe"), fs::perms(0755));
        const OpResult result = Shell(R"(c:\prog.exe)", kMinimizedFocus);
        EXPECT_FALSE(result);
        EXPECT_EQ(result.code(), c.code) << result.reason();
        EXPECT_EQ(result.reason().find("Wine") != std::string::npos,
                  c.code == ErrorCode::rule(FailedRule::NeedsWine))
            << result.reason();
    }
}

}  // namespace
