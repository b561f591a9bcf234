#pragma once

// Helpers for tests that start real programs, or reach real servers, and look at what they leave.

#include "common_support.h"

#include <sys/types.h>

#include <filesystem>
#include <string>

namespace pulsaro::test {

// The built distribution folder, where the programs and their stand-ins are.
std::filesystem::path builtDistribution();

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
