#include "xvfb_display.h"

#include "hermetic.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <thread>

namespace pulsaro::test {

XvfbDisplay::XvfbDisplay() {
    int fds[2];
    if (::pipe(fds) != 0) return;
    const std::string xvfb = toolPath("Xvfb");
    if (xvfb.empty()) return;
    pid_ = ::fork();
    if (pid_ == 0) {
        ::close(fds[0]);
        const int devnull = ::open("/dev/null", O_WRONLY);
        ::dup2(devnull, 1);
        ::dup2(devnull, 2);
        const std::string fd = std::to_string(fds[1]);
        ::execl(xvfb.c_str(), "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", "1024x768x24",
                "-nolisten", "tcp", "-noreset", nullptr);
        ::_exit(127);
    }
    ::close(fds[1]);
    std::string number;
    pollfd waitFor{fds[0], POLLIN, 0};
    char c;
    while (::poll(&waitFor, 1, 10000) > 0 && ::read(fds[0], &c, 1) == 1 && c != '\n') number += c;
    ::close(fds[0]);
    if (!number.empty()) display_ = ":" + number;
}

XvfbDisplay::~XvfbDisplay() {
    if (pid_ <= 0) return;
    ::kill(pid_, SIGTERM);
    ::waitpid(pid_, nullptr, 0);
}

std::string XvfbDisplay::xdotool(const std::vector<std::string>& arguments) const {
    std::string command = "DISPLAY=" + display_ + " '" + toolPath("xdotool") + "'";
    for (const std::string& a : arguments) command += " '" + a + "'";
    command += " 2>/dev/null";
    std::string output;
    if (std::FILE* pipe = ::popen(command.c_str(), "r")) {
        char buffer[256];
        while (std::fgets(buffer, sizeof buffer, pipe)) output += buffer;
        ::pclose(pipe);
    }
    return output;
}

bool XvfbDisplay::screenshot(const std::string& window, const std::string& pngFile) const {
    const std::string import = toolPath("import");
    if (import.empty()) return false;
    const std::string command = "DISPLAY=" + display_ + " '" + import + "' -window '" + window +
                                "' -strip 'png:" + pngFile + "' 2>/dev/null";
    return std::system(command.c_str()) == 0;
}

std::string XvfbDisplay::waitForWindow(const std::string& name,
                                       std::chrono::milliseconds timeout) const {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (std::chrono::steady_clock::now() < deadline) {
        std::string id = xdotool({"search", "--onlyvisible", "--name", name});
        if (const auto end = id.find('\n'); end != std::string::npos) return id.substr(0, end);
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return {};
}

}  // namespace pulsaro::test
