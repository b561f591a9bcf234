#pragma once

#include <QProcess>

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace pulsaro::test {

// How the fixture server departs from a plain, well-behaved one; all off by default. Every member
// has an initializer, so that a case names only the faults it injects: FtpFaults{.announceNoSize =
// true, .cutAfterBytes = 1000}.
struct FtpFaults {
    std::string loginFolder{};  // where a login lands instead of "/"
    bool refuseLogin = false;
    std::optional<std::int64_t> dropAfterBytes{};   // closes the data connection there (426)
    std::optional<std::int64_t> stallAfterBytes{};  // sends nothing more, connection kept open
    std::int64_t sizeDelta = 0;                     // announced size minus the real one
    bool announceNoSize = false;                    // SIZE is answered 502
    std::string sizeReply{};                        // the reply to SIZE, "%d" for the size
    // The reply opening the transfer states "(N bytes)", N off by this much.
    std::optional<std::int64_t> openingSizeDelta{};
    std::optional<std::int64_t> cutAfterBytes{};  // the file ends there, reported complete (226)
    std::int64_t growWhileSending = 0;            // bytes added to the file as it is sent
    std::int64_t bytesPerSecond = 0;              // 0: as fast as it can
    std::string silentOn{};     // a command never answered; "BANNER": never greets
    std::string longReplyAt{};  // a reply preceded by a line of longReplyLength chars
    std::size_t longReplyLength = 70000;
};

// A real FTP server on 127.0.0.1 at a free port, serving a fresh temporary folder to the
// updater's account. Stopped (by its process id) and its folder removed when the object goes.
class FtpServer {
  public:
    explicit FtpServer(const FtpFaults& faults = {});
    ~FtpServer();
    FtpServer(const FtpServer&) = delete;
    FtpServer& operator=(const FtpServer&) = delete;

    // "ftp://127.0.0.1:<port>"
    std::string url() const;
    int port() const { return port_; }
    const std::filesystem::path& root() const { return root_; }

    // Places a file on the server; remotePath starts with "/".
    void putFile(std::string_view remotePath, std::string_view bytes) const;

  private:
    void stop();

    std::filesystem::path root_;
    QProcess process_;
    int port_ = 0;
};

}  // namespace pulsaro::test
