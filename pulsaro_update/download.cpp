#include "host.h"
#include "texts.h"
#include "update_form.h"

#include <cstdlib>

namespace pulsaro::update {

std::string Form1::ServerUrl() {
    const char* configured = std::getenv("PULSARO_UPDATE_URL");
    return configured && *configured ? std::string(configured) : std::string(texts::kServerUrl);
}

std::string Form1::TransferCommand(const std::string& localFileName) {
    std::string command = "get ";
    for (std::string_view piece : {std::string_view(" "), texts::kRemoteFile,
                                   texts::kLocalFolderPart, std::string_view(localFileName)}) {
        command.append(piece);
    }
    return command;
}

void Form1::DownloadUpdate(Action& run, const std::string& localFileName) {
    Inet1.setURL(ServerUrl());
    Inet1.setUserName(texts::kUserName);
    Inet1.setPassword(texts::kPassword);
    run(WaitUntilIdle());
    const std::string command = TransferCommand(localFileName);
    const std::string url = Inet1.URL();
    run(Inet1.Execute(url, command));
    run(WaitUntilIdle());
    Inet1.Cancel();
    run(WaitUntilIdle());
}

// Every step of a request arrives as an event, so the wait sleeps until one comes; the limit
// only bounds a wait that nothing would end.
OpResult Form1::WaitUntilIdle() {
    const FailureOf waiting("WaitUntilIdle", "", "wait for the download");
    const bool requestRunning = Inet1.StillExecuting();
    while (Inet1.StillExecuting()) DoEventsWaiting(std::chrono::milliseconds(250));
    if (requestRunning && !Inet1.Outcome()) return Inet1.Outcome();
    return waiting.success();
}

}  // namespace pulsaro::update
