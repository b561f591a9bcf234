#pragma once

#include "ftp_faults.h"

#include <QProcess>

#include <filesystem>
#include <string>
#include <string_view>

namespace pulsaro::test {

// A real FTP server on 127.0.0.1 (or ::1) at a free port, serving a fresh temporary folder to the
// updater's account. Stopped (by its process id) and its folders removed when the object goes.
class FtpServer {
  public:
    explicit FtpServer(const FtpFaults& faults = {});
    ~FtpServer();
    FtpServer(const FtpServer&) = delete;
    FtpServer& operator=(const FtpServer&) = delete;

    // "ftp://127.0.0.1:<port>", or "ftp://[::1]:<port>"
    std::string url() const;
    int port() const { return port_; }
    const std::filesystem::path& root() const { return root_; }
    // Holds the number of connections (control and data) the server has open.
    const std::filesystem::path& connectionsFile() const { return connectionsFile_; }

    // Places a file on the server; remotePath starts with "/".
    void putFile(std::string_view remotePath, std::string_view bytes) const;

  private:
    void stop();

    std::filesystem::path folder_;
    std::filesystem::path root_;
    std::filesystem::path connectionsFile_;
    bool ipv6_ = false;
    QProcess process_;
    int port_ = 0;
};

}  // namespace pulsaro::test
