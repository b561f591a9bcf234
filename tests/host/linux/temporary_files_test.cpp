// What this host builds its atomic replacements and its lock on: the named form of a temporary
// file, used where a file system has no unnamed files; the removal of a program's own files when
// a termination signal ends it; and the lock that lets one holder at a time through.

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

#include <atomic>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <thread>
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

// A holder that lets go, and one that is killed, both let the next one through; never before.
// The holder lets go only once the next one is seen waiting for the lock.
TEST(ExclusiveLock, OneHolderAtATimeAndAHolderThatDiesLetsGo) {
    for (const bool killed : {false, true}) {
        SCOPED_TRACE(killed ? "the holder is killed" : "the holder lets go");
        TempDrive t;
        int ready[2], letGo[2];
        ASSERT_EQ(pipe(ready), 0);
        ASSERT_EQ(pipe(letGo), 0);
        const pid_t holder = fork();
        if (holder == 0) {
            ExclusiveLock lock;
            const char held = lock.acquire(R"(c:\update.lock)").ok() ? 'y' : 'n';
            (void)!write(ready[1], &held, 1);
            char go = 0;
            (void)!read(letGo[0], &go, 1);
            if (killed) raise(SIGKILL);
            lock.release();
            _exit(0);
        }
        char held = 0;
        ASSERT_EQ(read(ready[0], &held, 1), 1);
        ASSERT_EQ(held, 'y');
        ExclusiveLock lock;
        std::atomic<bool> toldToLetGo = false;
        std::atomic<bool> takenWhileHeld = false;
        std::optional<OpResult> acquired;
        std::thread next([&] {
            acquired = lock.acquire(R"(c:\UPDATE.LOCK)");
            takenWhileHeld = !toldToLetGo;
        });

        const bool sawItWait = eventually([] { return waitsForALock(getpid()); });
        toldToLetGo = true;
        (void)!write(letGo[1], "g", 1);
        next.join();
        waitpid(holder, nullptr, 0);
        for (const int fd : {ready[0], ready[1], letGo[0], letGo[1]}) close(fd);

        EXPECT_TRUE(sawItWait) << "the next one never waited for the lock";
        EXPECT_FALSE(takenWhileHeld) << "taken while still held";
        ASSERT_TRUE(acquired && acquired->ok());
        EXPECT_EQ(listFolder(t.drive()), std::vector<std::string>{"update.lock"});
        lock.release();
        EXPECT_EQ(listFolder(t.drive()), std::vector<std::string>{});
    }
}

}  // namespace
