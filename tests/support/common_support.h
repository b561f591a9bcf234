#pragma once

// What tests on both hosts share beyond the drive: waiting for traces, reading them, the
// environment programs inherit, helper programs, their starts and kills.

#include <chrono>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace pulsaro::test {

// Started programs run on their own; a test polls for their traces up to a generous deadline.
bool eventually(const std::function<bool()>& condition,
                std::chrono::milliseconds limit = std::chrono::seconds(15));

// The lines of a text file (a line end may be CR LF); none when it does not exist.
std::vector<std::string> linesOf(const std::filesystem::path& file);

// Sets (or, given std::nullopt, unsets) an environment variable for the process and the programs
// it starts.
void setEnvironment(const char* name, const std::optional<std::string>& value);

// Sets or unsets an environment variable for one scope.
class ScopedEnv {
  public:
    ScopedEnv(const char* name, const std::optional<std::string>& value);
    ~ScopedEnv();
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

  private:
    const char* name_;
    std::optional<std::string> previous_;
};

// The folder of the running test program, where the build puts its helper programs.
std::filesystem::path testProgramFolder();
// A helper program beside the test program, named without the host's program suffix.
std::filesystem::path helperProgram(const std::string& name);

// A helper program started with arguments, which a test can end at any moment the way a power
// cut would: no chance to clean up. Ended so when the object goes, if still running.
class ChildProcess {
  public:
    ChildProcess(const std::filesystem::path& program, const std::vector<std::string>& arguments);
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    bool started() const;
    // Stops every thread of the program and waits until they have stopped; false when it has
    // ended.
    bool suspend();
    // Ends the program at once, if it still runs, and waits until it is gone.
    void kill();
    // How the program ended once it has (137: ended by kill); nothing before.
    std::optional<unsigned long> exitCode() const { return exitCode_; }

  private:
#ifdef _WIN32
    void* process_ = nullptr;
#else
    int pid_ = -1;
#endif
    std::optional<unsigned long> exitCode_;
};

}  // namespace pulsaro::test
