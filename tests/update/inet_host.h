#pragma once

// What the transfer component's tests (inet_contract_test.cpp) need from the host they are built
// for: its component, its servers and its transfer library's codes.

#include "ftp_faults.h"
#include "inet_cases.h"
#include "op_result.h"

#ifdef _WIN32
#include "wininet_inet.h"
#else
#include "curl_inet.h"
#endif

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

namespace pulsaro::test {

#ifdef _WIN32
using HostInet = WinInetInet;
#else
using HostInet = CurlInet;
#endif

// A fixture FTP server with the given faults; not listening, its URL names a port that refuses
// connections. On Linux the test starts it. Under Wine it is the one the Linux side started for
// the test, and the test fails unless that one was started with the same faults.
class InetTestServer {
  public:
    explicit InetTestServer(const FtpFaults& faults, bool listening = true);
    ~InetTestServer();
    InetTestServer(const InetTestServer&) = delete;
    InetTestServer& operator=(const InetTestServer&) = delete;

    std::string url() const;
    // Places a file on the server; remotePath starts with "/".
    void putFile(std::string_view remotePath, std::string_view bytes) const;
    // The connections (control and data) the server holds open, as it counts them.
    std::size_t openConnections() const;

  private:
    struct State;
    std::unique_ptr<State> state_;
};

// The number the fixture server keeps in its connections file (ftp_server.py).
inline std::size_t connectionsCountedIn(const std::filesystem::path& file) {
    std::ifstream in(file);
    std::size_t count = 0;
    if (!(in >> count)) throw std::runtime_error("cannot read " + file.string());
    return count;
}

// The code the host's component ends a request with, for each kind of failure.
ErrorCode expectedCode(TransferFailure failure);

// A request the host's transfer library cannot make: how the request ends instead, and why.
struct HostLimit {
    ErrorCode code;
    std::string why;
};

// Where the host cannot fetch from a literal IPv6 address; nothing where it can.
std::optional<HostLimit> ipv6Limit();

// The bytes the test process is writing into files in the folder, named or not.
std::uintmax_t bytesBeingWrittenIn(const std::filesystem::path& folder);

}  // namespace pulsaro::test
