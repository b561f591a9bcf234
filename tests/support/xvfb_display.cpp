#include "xvfb_display.h"

#include "hermetic.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <thread>
#include <utility>

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
    stop();
}

void XvfbDisplay::stop() {
    if (pid_ <= 0) return;
    ::kill(pid_, SIGTERM);
    ::waitpid(pid_, nullptr, 0);
    pid_ = -1;
}

std::string XvfbDisplay::xdotoolCommand(const std::vector<std::string>& arguments) const {
    std::string command = "DISPLAY=" + display_ + " '" + toolPath("xdotool") + "'";
    for (const std::string& a : arguments) command += " '" + a + "'";
    return command;
}

namespace {

// The command's standard output and its wait status.
std::pair<std::string, int> runCommand(const std::string& command) {
    std::string output;
    int status = -1;
    if (std::FILE* pipe = ::popen(command.c_str(), "r")) {
        char buffer[256];
        while (std::fgets(buffer, sizeof buffer, pipe)) output += buffer;
        status = ::pclose(pipe);
    }
    return {output, status};
}

}  // namespace

std::string XvfbDisplay::xdotool(const std::vector<std::string>& arguments) const {
    return runCommand(xdotoolCommand(arguments) + " 2>/dev/null").first;
}

// A search exits 0 with the ids it found, or 1 with no output at all when it found none; a
// failure to reach the display says so on standard error.
std::optional<std::vector<std::string>> XvfbDisplay::visibleWindows(const std::string& name) const {
    const auto [output, status] =
        runCommand(xdotoolCommand({"search", "--onlyvisible", "--name", name}) + " 2>&1");
    std::vector<std::string> ids;
    std::istringstream lines(output);
    for (std::string line; std::getline(lines, line);) {
        if (line.empty() || line.find_first_not_of("0123456789") != std::string::npos) {
            return std::nullopt;
        }
        ids.push_back(line);
    }
    const int expectedStatus = ids.empty() ? 1 : 0;
    if (!WIFEXITED(status) || WEXITSTATUS(status) != expectedStatus) return std::nullopt;
    return ids;
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
