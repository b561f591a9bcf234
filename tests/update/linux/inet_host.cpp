// The transfer component's tests on Linux: libcurl's codes, servers started by the test itself.

#include "inet_host.h"
#include "ftp_server.h"
#include "process_support.h"

#include <curl/curl.h>

#include <unistd.h>

#include <filesystem>

namespace fs = std::filesystem;

namespace pulsaro::test {

struct InetTestServer::State {
    FtpServer server;
    std::optional<ClosedPort> closedPort;
};

InetTestServer::InetTestServer(const FtpFaults& faults, bool listening)
    : state_(new State{FtpServer(faults), std::nullopt}) {
    if (!listening) state_->closedPort.emplace();
}

InetTestServer::~InetTestServer() = default;

std::string InetTestServer::url() const {
    return state_->closedPort ? state_->closedPort->url() : state_->server.url();
}

void InetTestServer::putFile(std::string_view remotePath, std::string_view bytes) const {
    state_->server.putFile(remotePath, bytes);
}

std::size_t InetTestServer::openConnections() const {
    return connectionsCountedIn(state_->server.connectionsFile());
}

ErrorCode expectedCode(TransferFailure failure) {
    switch (failure) {
        case TransferFailure::LoginDenied:
            return ErrorCode::transfer(CURLE_LOGIN_DENIED);
        case TransferFailure::RemoteFolderMissing:
            return ErrorCode::transfer(CURLE_REMOTE_ACCESS_DENIED);
        case TransferFailure::RemoteFileMissing:
            return ErrorCode::transfer(CURLE_REMOTE_FILE_NOT_FOUND);
        case TransferFailure::CannotConnect:
            return ErrorCode::transfer(CURLE_COULDNT_CONNECT);
        case TransferFailure::CutShort:
            return ErrorCode::transfer(CURLE_PARTIAL_FILE);
    }
    return {};
}

std::optional<HostLimit> ipv6Limit() {
    return std::nullopt;
}

// A partial download has no name until it is complete.
std::uintmax_t bytesBeingWrittenIn(const fs::path& folder) {
    return bytesOpenIn(::getpid(), folder);
}

}  // namespace pulsaro::test
