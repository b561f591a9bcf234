#pragma once

#include "action.h"
#include "inet.h"
#include "op_result.h"

#include <QWidget>

#include <string>

namespace pulsaro {

// The updater's only window. It is never shown: it hosts the transfer component, and its load
// handler is the whole program.
class Form1 : public QWidget {
  public:
    Form1();

    // The whole update run; the program ends when it returns, with exitStatus.
    void Form_Load();

    // Waits the given number of seconds while handling events.
    void PausaTempo(double seconds);

    // Steps 6 to 11 of the update: fetch the newest main application from the product's server
    // into the staging folder as localFileName. Failed steps go to run like every other step.
    void DownloadUpdate(Action& run, const std::string& localFileName);

    // The "get" command that fetches the remote main application to localFileName in the
    // staging folder.
    static std::string TransferCommand(const std::string& localFileName);

    // The server: the product's, unless PULSARO_UPDATE_URL names a test or staging server.
    static std::string ServerUrl();

    // The idle wait: handles events while a request runs. Returns how that request ended;
    // success when none was running.
    [[nodiscard]] OpResult WaitUntilIdle();

    Inet Inet1;

    // 0 when the installed application now holds the downloaded file, 1 otherwise.
    int exitStatus = 1;
};

}  // namespace pulsaro
