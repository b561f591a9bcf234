#pragma once

#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

namespace pulsaro::test {

// A small tmpfs mounted over a folder, so that writes there run out of space. Mounting needs
// root (CAP_SYS_ADMIN); where it is refused, mount() says why and the test skips.
class TmpfsMount {
  public:
    TmpfsMount() = default;
    ~TmpfsMount();
    TmpfsMount(const TmpfsMount&) = delete;
    TmpfsMount& operator=(const TmpfsMount&) = delete;

    // Empty on success, else the reason the host gave.
    std::string mount(const std::filesystem::path& folder, std::size_t kibibytes);

  private:
    std::filesystem::path mounted_;
};

// Runs check in a child process that has given up root, so that file modes apply to it as they
// do to an ordinary user; without root it runs in this process. Returns what check returned.
// The folders the child uses must be reachable by others.
bool asOrdinaryUser(const std::function<bool()>& check);

// A source whose bytes cannot be read: opening it works, the first read fails with an I/O error.
void makeUnreadableByIoError(const std::filesystem::path& where);

// A FIFO, which blocks whoever opens it for reading until someone opens it for writing.
void makeFifo(const std::filesystem::path& where, std::filesystem::perms mode);

// A bound Unix socket's file, which cannot be opened at all.
void makeSocketFile(const std::filesystem::path& where);

// Stands by while a test runs code that must never wait on a FIFO. Should the code still run
// after `patience`, the watchdog opens the FIFO for writing, which ends any wait to open it for
// reading, so that the test goes on and fails instead of hanging.
class FifoWatchdog {
  public:
    explicit FifoWatchdog(std::filesystem::path fifo,
                          std::chrono::seconds patience = std::chrono::seconds(20));
    ~FifoWatchdog();
    FifoWatchdog(const FifoWatchdog&) = delete;
    FifoWatchdog& operator=(const FifoWatchdog&) = delete;

    // Ends the watch; says whether the watchdog had to end a wait.
    bool stop();

  private:
    void watch(std::filesystem::path fifo, std::chrono::seconds patience);

    std::mutex mutex_;
    std::condition_variable stopped_;
    bool stopping_ = false;
    bool steppedIn_ = false;
    std::thread thread_;
};

// A file flagged immutable (chattr +i): not even root may replace or remove it. Needs
// CAP_LINUX_IMMUTABLE and a file system that keeps the flag; set() says why when refused. The
// flag is cleared when the object goes.
class ImmutableFile {
  public:
    ImmutableFile() = default;
    ~ImmutableFile();
    ImmutableFile(const ImmutableFile&) = delete;
    ImmutableFile& operator=(const ImmutableFile&) = delete;

    // Empty on success, else the reason the host gave.
    std::string set(const std::filesystem::path& file);

  private:
    std::filesystem::path file_;
};

}  // namespace pulsaro::test
