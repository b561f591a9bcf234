#pragma once

// Helpers for tests that start real programs, or reach real servers, and look at what they leave.

#include "common_support.h"

#include <sys/types.h>

#include <filesystem>
#include <string>

namespace pulsaro::test {

// The built distribution folder, where the programs and their stand-ins are.
std::filesystem::path builtDistribution();

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

// Starts the updater program at `program` as its own process on a drive, against a server, on an
// X display (offscreen when empty).
pid_t startUpdater(const std::filesystem::path& program, const std::filesystem::path& drive,
                   const std::string& url, const std::string& display);

}  // namespace pulsaro::test
