#pragma once

#include <sys/types.h>

#include <string>

namespace pulsaro {

// Keeps a file in the list of those that a termination signal removes (see
// endCleanlyOnExitAndTerminationSignals) until forget() or the object goes; the file itself stays.
class RemovedOnTermination {
  public:
    RemovedOnTermination() = default;
    ~RemovedOnTermination() { forget(); }
    RemovedOnTermination(const RemovedOnTermination&) = delete;
    RemovedOnTermination& operator=(const RemovedOnTermination&) = delete;

    // `folder` must stay open while the name is watched.
    void watch(int folder, const std::string& name);
    void forget();

  private:
    int slot_ = -1;
};

// A file written beside its target that takes the target's place only once complete, by an
// atomic rename. Where the file system allows, it has no name until then (O_TMPFILE), so a writer
// that dies in any way leaves nothing. Elsewhere it is named ".<target>.partial-<pid>-<n>" and
// locked (flock) by its writer for as long as the writer has it open: a file of that form whose
// lock can be taken was abandoned, whatever process now has that number, and the next writer to
// the same target removes it. A termination signal never leaves one behind
// (endCleanlyOnExitAndTerminationSignals).
class TemporaryFile {
  public:
    TemporaryFile() = default;
    // Closes the file; one that never took its target's place is gone.
    ~TemporaryFile();
    TemporaryFile(const TemporaryFile&) = delete;
    TemporaryFile& operator=(const TemporaryFile&) = delete;

    // Creates the file in `folder`, which stays open while the file exists, for the target name,
    // with the mode as the umask allows; first removes abandoned temporary files of the same
    // target. An error number on failure.
    [[nodiscard]] int create(int folder, const std::string& targetName, mode_t mode);
    // The named form alone: what create falls back to where files cannot be unnamed.
    [[nodiscard]] int createNamed(int folder, const std::string& targetName, mode_t mode);

    int fd() const { return fd_; }
    // The file's name in the folder; empty while it has none.
    const std::string& name() const { return name_; }

    // Has the disk hold every byte written; an error number on failure.
    [[nodiscard]] int flushToDisk();
    // Puts the file in the target's place at once and closes it. An error number on failure, and
    // then the target is untouched and the temporary file gone.
    [[nodiscard]] int replaceTarget();

  private:
    int linkIntoFolder();
    void discard();

    int folder_ = -1;
    int fd_ = -1;
    std::string targetName_;
    std::string name_;
    RemovedOnTermination removal_;
};

// Has the program end cleanly however it ends but by SIGKILL: the files named for removal go when
// exit() ends it from anywhere (a toolkit that loses its display does), and on SIGTERM, SIGINT
// and SIGHUP, which then end it as if it had not handled them. Programs call it first thing.
void endCleanlyOnExitAndTerminationSignals();

// The termination signals back at their defaults, for a process about to become another program.
void defaultTerminationSignals();

}  // namespace pulsaro
