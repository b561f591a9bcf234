#include "process_support.h"

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdlib>
#include <stdexcept>

namespace fs = std::filesystem;

namespace pulsaro::test {

fs::path builtDistribution() {
    const char* dist = std::getenv("PULSARO_DIST_DIR");
    if (!dist || !*dist) throw std::runtime_error("PULSARO_DIST_DIR is not set; run through ctest");
    return dist;
}

ClosedPort::ClosedPort() : fd_(::socket(AF_INET, SOCK_STREAM, 0)) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (::bind(fd_, reinterpret_cast<sockaddr*>(&address), length) == 0 &&
        ::getsockname(fd_, reinterpret_cast<sockaddr*>(&address), &length) == 0) {
        port_ = ntohs(address.sin_port);
    }
}

ClosedPort::~ClosedPort() {
    ::close(fd_);
}

std::string ClosedPort::url() const {
    return "ftp://127.0.0.1:" + std::to_string(port_);
}

pid_t startUpdater(const fs::path& program, const fs::path& drive, const std::string& url,
                   const std::string& display) {
    const pid_t pid = ::fork();
    if (pid == 0) {
        setenv("PULSARO_DRIVE_C", drive.c_str(), 1);
        setenv("PULSARO_UPDATE_URL", url.c_str(), 1);
        if (display.empty()) {
            setenv("QT_QPA_PLATFORM", "offscreen", 1);
        } else {
            setenv("QT_QPA_PLATFORM", "xcb", 1);
            setenv("DISPLAY", display.c_str(), 1);
        }
        execl(program.c_str(), program.c_str(), nullptr);
        _exit(127);
    }
    return pid;
}

}  // namespace pulsaro::test
