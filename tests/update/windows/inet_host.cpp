// The transfer component's tests under Wine: WinINet's codes, and the server the Linux side
// started for the test (inet_contract_under_wine_test.cpp beside this file), named in
// PULSARO_TEST_FTP_URL, PULSARO_TEST_FTP_ROOT and PULSARO_TEST_FTP_CONNECTIONS and described in
// PULSARO_TEST_FTP_SERVER.

#include "inet_host.h"
#include "temp_drive.h"

#include <windows.h>

#include <wininet.h>

#include <cstdlib>
#include <filesystem>
#include <stdexcept>

namespace fs = std::filesystem;

namespace pulsaro::test {
namespace {

std::string environment(const char* name) {
    const char* value = std::getenv(name);
    return value ? value : "";
}

}  // namespace

struct InetTestServer::State {
    std::string url;
    fs::path root;
    fs::path connectionsFile;
};

InetTestServer::InetTestServer(const FtpFaults& faults, bool listening)
    : state_(new State{environment("PULSARO_TEST_FTP_URL"), environment("PULSARO_TEST_FTP_ROOT"),
                       environment("PULSARO_TEST_FTP_CONNECTIONS")}) {
    if (state_->url.empty() || state_->root.empty() || state_->connectionsFile.empty()) {
        throw std::runtime_error(
            "no server: these tests run under Wine from "
            "tests/update/windows/inet_contract_under_wine_test.cpp, which starts one for each");
    }
    const std::string needed = serverDescription(faults, listening);
    const std::string started = environment("PULSARO_TEST_FTP_SERVER");
    if (started != needed) {
        throw std::runtime_error("the server was started \"" + started + "\"; this test needs \"" +
                                 needed + "\"");
    }
}

InetTestServer::~InetTestServer() = default;

std::string InetTestServer::url() const {
    return state_->url;
}

void InetTestServer::putFile(std::string_view remotePath, std::string_view bytes) const {
    const fs::path path = state_->root / fs::path(std::string(remotePath)).relative_path();
    fs::create_directories(path.parent_path());
    writeFile(path, bytes);
}

std::size_t InetTestServer::openConnections() const {
    return connectionsCountedIn(state_->connectionsFile);
}

// WinINet has no code of its own for a server that cuts a transfer: a cut shows as the server's
// failure reply.
ErrorCode expectedCode(TransferFailure failure) {
    switch (failure) {
        case TransferFailure::LoginDenied:
            return ErrorCode::transfer(ERROR_INTERNET_LOGIN_FAILURE);
        case TransferFailure::RemoteFolderMissing:
        case TransferFailure::RemoteFileMissing:
        case TransferFailure::CutShort:
            return ErrorCode::transfer(ERROR_INTERNET_EXTENDED_ERROR);
        case TransferFailure::CannotConnect:
            return ErrorCode::transfer(ERROR_INTERNET_CANNOT_CONNECT);
    }
    return {};
}

// Wine's WinINet reaches FTP servers over IPv4 only: it does not resolve "::1" for FTP (and
// would refuse any address but an IPv4 one after that). Windows' own is held to the full test.
std::optional<HostLimit> ipv6Limit() {
    const HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    if (!ntdll || !GetProcAddress(ntdll, "wine_get_version")) return std::nullopt;
    return HostLimit{ErrorCode::transfer(ERROR_INTERNET_NAME_NOT_RESOLVED),
                     "Wine's WinINet reaches FTP servers over IPv4 only"};
}

// A partial download is a named temporary file beside its target.
std::uintmax_t bytesBeingWrittenIn(const fs::path& folder) {
    std::uintmax_t total = 0;
    for (const auto& entry : fs::directory_iterator(folder)) total += entry.file_size();
    return total;
}

}  // namespace pulsaro::test
