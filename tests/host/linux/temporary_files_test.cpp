// What this host builds its atomic replacements on: the named form of a temporary file, used where
// a file system has no unnamed files, and the removal of a program's own files when a
// termination signal ends it.

#include "temporary_files.h"
#include "host.h"
#include "process_support.h"
#include "temp_drive.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace fs = std::filesystem;
using namespace pulsaro;
using namespace pulsaro::test;

namespace {

int openFolder(const fs::path& folder) {
    return ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
}

// Whether another process could take the lock of a file now.
bool lockableByAnother(const fs::path& file) {
    const pid_t child = fork();
    if (child == 0) {
        const int fd = ::open(file.c_str(), O_RDONLY);
        _exit(fd >= 0 && ::flock(fd, LOCK_EX | LOCK_NB) == 0 ? 0 : 1);
    }
    int status = 0;
    waitpid(child, &status, 0);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

TEST(TemporaryFile, NamedFormIsLockedWhileWrittenAndLeavesOnlyTheTarget) {
    TempDrive t;
    const int folder = openFolder(t.drive());
    {
        TemporaryFile abandoned;
        ASSERT_EQ(abandoned.createNamed(folder, "app.exe", 0644), 0);
        ASSERT_FALSE(abandoned.name().empty());
        EXPECT_EQ(abandoned.name().rfind(".app.exe.partial-", 0), 0u) << abandoned.name();
        EXPECT_EQ(listFolder(t.drive()), std::vector<std::string>{abandoned.name()});
        EXPECT_FALSE(lockableByAnother(t.drive() / abandoned.name()));
    }
    EXPECT_EQ(listFolder(t.drive()), std::vector<std::string>{}) << "never put in place: gone";

    TemporaryFile file;
    ASSERT_EQ(file.createNamed(folder, "app.exe", 0644), 0);
    ASSERT_EQ(::write(file.fd(), "new", 3), 3);
    ASSERT_EQ(file.replaceTarget(), 0);
    EXPECT_EQ(listFolder(t.drive()), std::vector<std::string>{"app.exe"});
    EXPECT_EQ(readFile(t.drive() / "app.exe"), "new");
    ::close(folder);
}

// Runs `hold` in a child process that ends cleanly on termination signals, waits until it says
// it holds its files, sends the signal and gives the child's wait status.
int endedBySignal(int signal, const std::function<bool()>& hold) {
    int ready[2];
    if (pipe(ready) != 0) return -1;
    const pid_t child = fork();
    if (child == 0) {
        endCleanlyOnExitAndTerminationSignals();
        const char held = hold() ? 'y' : 'n';
        (void)!write(ready[1], &held, 1);
        for (;;) pause();
    }
    char held = 'n';
    const bool told = read(ready[0], &held, 1) == 1;
    close(ready[0]);
    close(ready[1]);
    kill(child, told && held == 'y' ? signal : SIGKILL);
    int status = 0;
    waitpid(child, &status, 0);
    return status;
}

// Where files cannot be unnamed, a termination signal still leaves nothing: the program's named
// temporary file and its lock file go before the signal ends it.
TEST(TerminationSignals, RemoveTheProgramsOwnFilesThenEndIt) {
    for (const int signal : {SIGTERM, SIGINT, SIGHUP}) {
        SCOPED_TRACE(strsignal(signal));
        TempDrive t;
        fs::create_directories(t.onDrive("folder"));
        writeFile(t.onDrive("folder/app.exe"), "old");
        const int status = endedBySignal(signal, [&] {
            static TemporaryFile file;
            static ExclusiveLock lock;
            const int folder = openFolder(t.onDrive("folder"));
            return file.createNamed(folder, "app.exe", 0644) == 0 &&
                   lock.acquire(R"(c:\folder\app.lock)").ok() &&
                   listFolder(t.onDrive("folder")).size() == 3;
        });

        EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == signal) << "status " << status;
        EXPECT_EQ(listFolder(t.onDrive("folder")), std::vector<std::string>{"app.exe"});
        EXPECT_EQ(readFile(t.onDrive("folder/app.exe")), "old");
    }
}

}  // namespace
