#pragma once

#include <filesystem>
#include <functional>
#include <string>

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
