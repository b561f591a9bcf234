#include "ftp_server.h"

#include "temp_drive.h"

#include <QDeadlineTimer>
#include <QStringList>

#include <unistd.h>
#include <cstdlib>
#include <stdexcept>

namespace fs = std::filesystem;

namespace pulsaro::test {
namespace {

QStringList argumentsFor(const fs::path& root, const fs::path& connectionsFile,
                         const FtpFaults& faults) {
    QStringList args{QStringLiteral(PULSARO_FTP_SERVER_SCRIPT), "--root",
                     QString::fromStdString(root.string()), "--connections-file",
                     QString::fromStdString(connectionsFile.string())};
    for (const std::string& option : ftpServerOptions(faults)) {
        args << QString::fromStdString(option);
    }
    return args;
}

int readPortLine(QProcess& process) {
    QDeadlineTimer deadline(10000);
    while (!process.canReadLine()) {
        if (deadline.hasExpired() || !process.waitForReadyRead(int(deadline.remainingTime()))) {
            throw std::runtime_error("the fixture FTP server did not report its port");
        }
    }
    const QString line = QString::fromUtf8(process.readLine()).trimmed();
    bool ok = false;
    const int port = line.section(' ', 1, 1).toInt(&ok);
    if (!line.startsWith("PORT ") || !ok) {
        throw std::runtime_error("unexpected first line from the fixture FTP server: " +
                                 line.toStdString());
    }
    return port;
}

}  // namespace

FtpServer::FtpServer(const FtpFaults& faults) : ipv6_(faults.ipv6) {
    std::string templ = (fs::temp_directory_path() / "pulsaro-ftp-XXXXXX").string();
    if (!mkdtemp(templ.data())) throw std::runtime_error("mkdtemp failed");
    folder_ = templ;
    root_ = folder_ / "root";
    connectionsFile_ = folder_ / "connections";
    fs::create_directory(root_);
    process_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process_.start(QStringLiteral(PULSARO_SYSTEM_PYTHON),
                   argumentsFor(root_, connectionsFile_, faults));
    try {
        if (!process_.waitForStarted(10000)) {
            throw std::runtime_error("cannot start the fixture FTP server: " +
                                     process_.errorString().toStdString());
        }
        port_ = readPortLine(process_);
    } catch (...) {
        stop();
        throw;
    }
}

FtpServer::~FtpServer() {
    stop();
}

void FtpServer::stop() {
    if (process_.state() != QProcess::NotRunning) {
        process_.kill();
        process_.waitForFinished(10000);
    }
    std::error_code ec;
    fs::remove_all(folder_, ec);
}

std::string FtpServer::url() const {
    return std::string(ipv6_ ? "ftp://[::1]:" : "ftp://127.0.0.1:") + std::to_string(port_);
}

void FtpServer::putFile(std::string_view remotePath, std::string_view bytes) const {
    const fs::path path = root_ / fs::path(std::string(remotePath)).relative_path();
    fs::create_directories(path.parent_path());
    writeFile(path, bytes);
}

}  // namespace pulsaro::test
