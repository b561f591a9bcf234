#pragma once

// What each host provides to the step lists, in standard types only: texts are UTF-8, paths are
// Windows paths. Each host implements this header in its own files (host/linux, host/windows),
// chosen when the program is linked. No operation throws; each reports success or failure with
// the host's reason and error number, and the action runner decides what happens next.

#include "op_result.h"
#include "program.h"
#include "received_file.h"
#include "signature.h"

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>

namespace pulsaro {

// Deletes every file (never a folder, never anything below a subfolder) in the pattern's folder
// whose name matches the pattern's last component. A link is removed itself; its target is never
// touched. Fails when no file matches, the folder is missing, or a matching file stays.
[[nodiscard]] OpResult KillFiles(std::string_view pattern) noexcept;

// Removes an empty folder.
[[nodiscard]] OpResult RemoveDir(std::string_view path) noexcept;

// Creates one folder; fails when it (in any letter case) exists or its parent does not.
[[nodiscard]] OpResult MakeDir(std::string_view path) noexcept;

// Replaces the destination whole and atomically with the source's bytes. A relative source is
// looked up in the current folder, then in the running program's own folder. The copy's mode is
// the source's (executable too when the destination ends in ".exe") as the process's umask
// allows. Fails, without waiting, when the source or an existing destination is not a regular
// file; a copy that never completes leaves nothing behind.
[[nodiscard]] OpResult FileCopy(std::string_view source, std::string_view destination) noexcept;

// The size in bytes of a regular file.
[[nodiscard]] OpResult FileLen(std::string_view path, std::int64_t& length) noexcept;

// The bytes of a regular file no longer than maxBytes; a longer file fails without being read.
[[nodiscard]] OpResult ReadSmallFile(std::string_view path, std::size_t maxBytes,
                                     std::string& bytes) noexcept;

// Whether the signature was made over the SHA-256 of the file's bytes with the private key of
// one of the keys, checked by the platform's own cryptography. A signature that matches none
// fails with FailedRule::SignatureMismatch; a file that cannot be read, with the host's reason.
[[nodiscard]] OpResult VerifyFileSignature(std::string_view path, const P256Signature& signature,
                                           std::span<const P256PublicKey> keys) noexcept;

// Window style 2: minimised, taking the focus.
inline constexpr int kMinimizedFocus = 2;

// Starts the command line's program as a separate process and returns at once, never waiting for
// it; fails when the program cannot be found or started.
[[nodiscard]] OpResult Shell(std::string_view commandLine, int windowStyle) noexcept;

// Lets every pending event of the program be handled, then returns without blocking.
void DoEvents();

// Handles events as DoEvents does, but sleeps until the next event arrives or maxWait has
// passed, whichever comes first.
void DoEventsWaiting(std::chrono::milliseconds maxWait);

// Seconds on a monotonic clock: never goes back, not at midnight nor when the wall clock is set.
double GetTimer();

// Whether two files hold the same bytes; false when either cannot be read. Never blocks on a
// file that is not a regular one.
bool SameContents(std::string_view pathA, std::string_view pathB) noexcept;

// The host's modal message box: one OK button, no icon. Returns when the user dismisses it. A
// program with a display installs it first thing (setMessageBoxHandler).
class HostMessageBox final : public MessageBoxHandler {
  public:
    void show(std::string_view caption, std::string_view message) override;
};

// Where the host's diagnostic lines are read: standard error, and on hosts where a program may
// have none, wherever that host's diagnostics are read. A program installs it first thing
// (setDiagnosticSink).
void WriteHostDiagnostic(std::string_view line);

// A file being received: its bytes go to a temporary file beside the target, which takes the
// target's place at once when committed. Until then the target is untouched, and a file that is
// never committed leaves nothing behind, also when the program is ended part-way. A target that
// exists and is not a regular file is refused.
class PartialFile final : public ReceivedFile {
  public:
    PartialFile();
    ~PartialFile() override;
    PartialFile(const PartialFile&) = delete;
    PartialFile& operator=(const PartialFile&) = delete;

    [[nodiscard]] OpResult open(std::string_view windowsTarget) override;
    [[nodiscard]] OpResult append(const char* data, std::size_t size) override;
    [[nodiscard]] OpResult commit() override;
    std::int64_t size() const override { return size_; }

  private:
    class HostFile;  // the host's temporary file beside the target
    std::unique_ptr<HostFile> file_;
    std::int64_t size_ = 0;
};

// One holder at a time, across processes, of the lock named by a Windows path: acquire waits
// while another holder has it, then takes it. The system releases the lock however its holder
// ends, killed included, so a holder that dies never blocks the next one. While held, a file
// exists at the path; it is removed on release (a holder that is killed may leave it, and the
// next holder takes it over as it is). Released when the object goes.
class ExclusiveLock {
  public:
    ExclusiveLock();
    ~ExclusiveLock();
    ExclusiveLock(const ExclusiveLock&) = delete;
    ExclusiveLock& operator=(const ExclusiveLock&) = delete;

    // Fails, holding nothing, when the lock file cannot be made or is not a regular file.
    [[nodiscard]] OpResult acquire(std::string_view windowsPath);
    void release();

  private:
    struct State;
    std::unique_ptr<State> state_;
};

}  // namespace pulsaro
