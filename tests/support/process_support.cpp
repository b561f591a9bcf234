#include "process_support.h"

#include "hermetic.h"

#include <QProcess>

#include <fcntl.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <thread>

namespace fs = std::filesystem;

namespace pulsaro::test {

fs::path builtDistribution() {
    const char* dist = std::getenv("PULSARO_DIST_DIR");
    if (!dist || !*dist) throw std::runtime_error("PULSARO_DIST_DIR is not set; run through ctest");
    return dist;
}

Finished runToEnd(const fs::path& program, const std::vector<std::string>& arguments,
                  const std::vector<std::string>& environment, const fs::path& folder,
                  std::chrono::seconds limit) {
    QProcessEnvironment changed = QProcessEnvironment::systemEnvironment();
    for (const std::string& entry : environment) {
        const std::size_t equals = entry.find('=');
        const QString name = QString::fromStdString(entry.substr(0, equals));
        if (equals == std::string::npos) {
            changed.remove(name);
        } else {
            changed.insert(name, QString::fromStdString(entry.substr(equals + 1)));
        }
    }
    QStringList qArguments;
    for (const std::string& argument : arguments) qArguments << QString::fromStdString(argument);
    QProcess process;
    process.setProcessEnvironment(changed);
    process.setProcessChannelMode(QProcess::MergedChannels);
    if (!folder.empty()) process.setWorkingDirectory(QString::fromStdString(folder.string()));
    process.start(QString::fromStdString(program.string()), qArguments);
    Finished result;
    if (!process.waitForStarted()) return {-1, "cannot start " + program.string()};
    const bool ended = process.waitForFinished(static_cast<int>(limit.count() * 1000));
    if (!ended) process.kill();
    process.waitForFinished();
    result.output = process.readAll().toStdString();
    if (ended && process.exitStatus() == QProcess::NormalExit) result.exitCode = process.exitCode();
    return result;
}

std::string pathHolding(const std::vector<std::string>& tools) {
    std::string path;
    for (const std::string& tool : tools) {
        const std::string found = toolPath(tool);
        if (found.empty()) return {};
        // Appended piece by piece: operator+ on a short literal trips a false -Wrestrict in
        // GCC 12 at -O3.
        if (!path.empty()) path.push_back(':');
        path.append(fs::path(found).parent_path().string());
    }
    return path;
}

OnPath::OnPath(const fs::path& program, const std::string& name)
    : link_(hermeticHome() / "bin" / name) {
    fs::create_symlink(program, link_);
}

OnPath::~OnPath() {
    std::error_code ignored;
    fs::remove(link_, ignored);
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

std::uintmax_t bytesOpenIn(pid_t pid, const fs::path& folder) {
    // An unnamed file shows as "<folder>/#<inode> (deleted)".
    const std::string inFolder = folder.string() + "/";
    std::uintmax_t total = 0;
    std::error_code ec;
    for (fs::directory_iterator it("/proc/" + std::to_string(pid) + "/fd", ec), end;
         !ec && it != end; it.increment(ec)) {
        std::error_code linkError;
        const std::string target = fs::read_symlink(it->path(), linkError).string();
        struct stat info {};
        if (!linkError && target.rfind(inFolder, 0) == 0 &&
            ::stat(it->path().c_str(), &info) == 0 && S_ISREG(info.st_mode)) {
            total += static_cast<std::uintmax_t>(info.st_size);
        }
    }
    return total;
}

DeepFolder::DeepFolder(const fs::path& base, std::size_t length)
    : path_(base), previous_(::open(".", O_RDONLY | O_DIRECTORY | O_CLOEXEC)) {
    if (::chdir(base.c_str()) != 0) return;
    constexpr std::size_t kStep = 200;  // a folder name well within the system's limit
    while (path_.string().size() < length) {
        const std::size_t remaining = length - path_.string().size();  // a "/" and a name
        std::size_t name = remaining - 1;
        // No step may leave room for a "/" alone.
        if (name > kStep) name = remaining - kStep - 1 == 1 ? kStep - 1 : kStep;
        const std::string step(name, 'd');
        if (name == 0 || ::mkdir(step.c_str(), 0700) != 0) return;
        if (::chdir(step.c_str()) != 0) {
            ::rmdir(step.c_str());
            return;
        }
        steps_.push_back(step);
        path_ /= step;
    }
}

DeepFolder::~DeepFolder() {
    std::error_code ec;
    if (!steps_.empty()) {
        for (const auto& entry : fs::directory_iterator(".", ec)) fs::remove_all(entry.path(), ec);
    }
    for (auto step = steps_.rbegin(); step != steps_.rend(); ++step) {
        if (::chdir("..") != 0) break;
        ::rmdir(step->c_str());
    }
    if (previous_ >= 0 && ::fchdir(previous_) == 0) ::close(previous_);
}

pid_t startInstalledUpdater(const fs::path& drive, const std::string& url,
                            const UpdaterStart& how) {
    fs::path program = how.program;
    if (program.empty()) {
        const fs::path staging = drive / "pulsaro_zentra" / "_Pulsaro";
        fs::create_directories(staging);
        program = staging / "pulsaro_zentra_update.exe";
        if (!fs::exists(program)) fs::copy_file(builtUpdater(), program);
    }
    const pid_t pid = ::fork();
    if (pid == 0) {
        setenv("PULSARO_DRIVE_C", drive.c_str(), 1);
        setenv("PULSARO_UPDATE_URL", url.c_str(), 1);
        unsetenv("WAYLAND_DISPLAY");
        if (how.display.empty()) {
            unsetenv("DISPLAY");
            unsetenv("QT_QPA_PLATFORM");
        } else {
            setenv("QT_QPA_PLATFORM", "xcb", 1);
            setenv("DISPLAY", how.display.c_str(), 1);
        }
        if (!how.standardError.empty()) {
            const int fd = ::open(how.standardError.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            if (fd < 0 || ::dup2(fd, 2) < 0) _exit(126);
        }
        execl(program.c_str(), program.c_str(), nullptr);
        _exit(127);
    }
    return pid;
}

Stopped stopAt(pid_t pid, const std::function<bool()>& moment, std::chrono::milliseconds limit) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    int status = 0;
    while (!moment()) {
        if (::waitpid(pid, &status, WNOHANG) == pid) return Stopped::Ended;
        if (std::chrono::steady_clock::now() >= deadline) {
            endNow(pid);
            return Stopped::Ended;
        }
        std::this_thread::sleep_for(std::chrono::microseconds(500));
    }
    ::kill(pid, SIGSTOP);
    if (::waitpid(pid, &status, WUNTRACED) != pid || !WIFSTOPPED(status)) return Stopped::Ended;
    return moment() ? Stopped::AtTheMoment : Stopped::Later;
}

void endNow(pid_t pid) {
    ::kill(pid, SIGKILL);
    ::waitpid(pid, nullptr, 0);
}

std::vector<pid_t> processesWithEnvironment(const std::string& entry) {
    std::vector<pid_t> found;
    std::error_code ec;
    for (fs::directory_iterator it("/proc", ec), end; !ec && it != end; it.increment(ec)) {
        const std::string name = it->path().filename().string();
        if (name.find_first_not_of("0123456789") != std::string::npos) continue;
        const pid_t pid = std::stoi(name);
        if (pid == ::getpid()) continue;
        std::ifstream environment(it->path() / "environ", std::ios::binary);
        for (std::string variable; std::getline(environment, variable, '\0');) {
            if (variable == entry) {
                found.push_back(pid);
                break;
            }
        }
    }
    return found;
}

// /proc/locks lists each lock a process waits for as "N: -> FLOCK  ADVISORY  WRITE <pid> ...".
bool waitsForALock(pid_t pid) {
    std::ifstream locks("/proc/locks");
    for (std::string line; std::getline(locks, line);) {
        std::istringstream fields(line);
        std::string number, arrow, kind, mode, access;
        pid_t waiter = 0;
        if (fields >> number >> arrow >> kind >> mode >> access >> waiter && arrow == "->" &&
            waiter == pid) {
            return true;
        }
    }
    return false;
}

std::optional<int> waitForEnd(pid_t pid, std::chrono::milliseconds limit) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    int status = 0;
    while (::waitpid(pid, &status, WNOHANG) != pid) {
        if (std::chrono::steady_clock::now() >= deadline) {
            ::kill(pid, SIGKILL);
            ::waitpid(pid, nullptr, 0);
            return std::nullopt;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return status;
}

}  // namespace pulsaro::test
