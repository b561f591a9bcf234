#pragma once

// Helpers for tests that start real programs, or reach real servers, and look at what they leave.

#include "common_support.h"

#include <sys/types.h>

#include <cstdint>
#include <filesystem>
#include <string>

namespace pulsaro::test {

// The built distribution folder, where the programs and their stand-ins are.
std::filesystem::path builtDistribution();
// The updater as the build made it, in that folder.
inline std::filesystem::path builtUpdater() {
    return builtDistribution() / "pulsaro_zentra_update.exe";
}

// A program run to its end: its exit code (-1 when it did not start, crashed or was killed at
// the deadline) and its standard output and error together.
struct Finished {
    int exitCode = -1;
    std::string output;
};

// Runs a program with the test's environment changed by `environment` ("NAME=value" sets,
// "NAME" unsets), in `folder` (the current one when empty).
Finished runToEnd(const std::filesystem::path& program, const std::vector<std::string>& arguments,
                  const std::vector<std::string>& environment = {},
                  const std::filesystem::path& folder = {},
                  std::chrono::seconds limit = std::chrono::seconds(300));

// A PATH made of the folders holding the tools a program the test runs will look for there
// (found with toolPath); empty when one of them is not installed.
std::string pathHolding(const std::vector<std::string>& tools);

// A program placed on the test's own PATH under a name, for one scope.
class OnPath {
  public:
    OnPath(const std::filesystem::path& program, const std::string& name);
    ~OnPath();
    OnPath(const OnPath&) = delete;
    OnPath& operator=(const OnPath&) = delete;

  private:
    std::filesystem::path link_;
};

// A loopback port that is bound but not listening: connections to it are refused, and no other
// process can take it while the object lives.
class ClosedPort {
  public:
    ClosedPort();
    ~ClosedPort();
    ClosedPort(const ClosedPort&) = delete;
    ClosedPort& operator=(const ClosedPort&) = delete;
    std::string url() const;

  private:
    int fd_;
    int port_ = 0;
};

// The bytes in the files a process holds open in a folder, named or not yet named: how far a
// download or a copy into that folder has come.
std::uintmax_t bytesOpenIn(pid_t pid, const std::filesystem::path& folder);

// A folder nested below `base` until its path is `length` bytes long, past what the system lets
// a path reach (PATH_MAX) if need be; made and removed with steps relative to the current folder,
// the only way to reach such depths. While the object lives the current folder is the deep one,
// so that the test reaches what lies there by short relative paths; the previous current folder
// is restored when it goes.
class DeepFolder {
  public:
    DeepFolder(const std::filesystem::path& base, std::size_t length);
    ~DeepFolder();
    DeepFolder(const DeepFolder&) = delete;
    DeepFolder& operator=(const DeepFolder&) = delete;

    const std::filesystem::path& path() const { return path_; }

  private:
    std::filesystem::path path_;
    std::vector<std::string> steps_;  // the folders made, outermost first
    int previous_ = -1;               // the current folder before, open
};

// How a started updater meets the desktop, and where what it writes on standard error goes.
struct UpdaterStart {
    std::string display{};                  // an X display ":N"; empty: no display whatever
    std::filesystem::path standardError{};  // empty: this process's standard error
    std::filesystem::path program{};        // empty: the updater installed on the drive
};

// Installs the built updater on the drive (host folder) as the setup does, unless it is there or
// another program is named, and starts it as its own process against a server.
pid_t startInstalledUpdater(const std::filesystem::path& drive, const std::string& url,
                            const UpdaterStart& how = {});

// How a started child program that a test stops at a moment of its choosing is found.
enum class Stopped {
    AtTheMoment,  // stopped, and the moment still holds: a signal sent now lands there
    Later,        // stopped, but it ran past the moment before the stop took hold
    Ended,        // it ended (or never came to the moment within the limit, and was killed)
};

// Stops a child program of this process (SIGSTOP) as soon as `moment` holds, and waits until the
// stop has taken hold. Ended programs are reaped; stopped ones are the caller's to end.
Stopped stopAt(pid_t pid, const std::function<bool()>& moment,
               std::chrono::milliseconds limit = std::chrono::seconds(60));

// Ends a child program at once (SIGKILL) and reaps it.
void endNow(pid_t pid);

// The other processes whose environment holds the entry "NAME=value", as the programs a test
// starts inherit one that it sets.
std::vector<pid_t> processesWithEnvironment(const std::string& entry);

// Whether a process waits for a lock (flock or fcntl) that another one holds.
bool waitsForALock(pid_t pid);

// Waits for a started program to end and gives its wait status; nothing when it still runs at the
// limit, and it is then killed.
std::optional<int> waitForEnd(pid_t pid,
                              std::chrono::milliseconds limit = std::chrono::seconds(60));

}  // namespace pulsaro::test
