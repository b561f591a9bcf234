#include "form1.h"

#include <cstdlib>

namespace pulsaro {
namespace {

constexpr const char* kServerUrl = "FTP://ftp.pulsarozentra.example";
constexpr const char* kUserName = "pulsarozentra";
constexpr const char* kPassword = "kx7rw2pq5d";
constexpr const char* kRemoteFile =
    "/pulsarozentra.example/mdb-database/_pulsaro/pulsaro_zentra.exe";
constexpr const char* kLocalFolderPart = R"( c:\pulsaro_zentra\_pulsaro\)";

}  // namespace

std::string Form1::ServerUrl() {
    const char* configured = std::getenv("PULSARO_UPDATE_URL");
    return configured && *configured ? configured : kServerUrl;
}

std::string Form1::TransferCommand(const std::string& localFileName) {
    return std::string("get ") + " " + kRemoteFile + kLocalFolderPart + localFileName;
}

void Form1::DownloadUpdate(Action& run, const std::string& localFileName) {
    Inet1.setURL(ServerUrl());
    Inet1.setUserName(kUserName);
    Inet1.setPassword(kPassword);
    run(WaitUntilIdle());
    const std::string command = TransferCommand(localFileName);
    const std::string url = Inet1.URL();
    run(Inet1.Execute(url, command));
    run(WaitUntilIdle());
    Inet1.Cancel();
    run(WaitUntilIdle());
}

}  // namespace pulsaro
