#include "process_support.h"

#include "hermetic.h"

#include <QProcess>

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
