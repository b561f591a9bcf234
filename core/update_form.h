#pragma once

#include "action.h"
#include "inet.h"
#include "op_result.h"

#include <string>

namespace pulsaro::update {

// What the update run needs from the updater's window, which is never shown.
class Window {
  public:
    virtual ~Window() = default;
    // Closes the window; the program ends once the load handler returns.
    virtual void Unload() = 0;
};

// The updater's window class: its load handler is the whole program. The host's window hosts the
// transfer component and runs Form_Load when the program starts.
class Form1 {
  public:
    Form1(Window& window, Inet& inet) : Inet1(inet), window_(window) {}

    // Fetches the newest main application and puts it in place; the message and exitStatus say
    // truthfully whether it was.
    void Form_Load();

    // Waits the given number of seconds while handling events.
    void PausaTempo(double seconds);

    // Fetches the newest main application from the product's server into the staging folder as
    // localFileName. Failed steps go to run like every other step.
    void DownloadUpdate(Action& run, const std::string& localFileName);

    // The "get" command that fetches the remote main application to localFileName in the
    // staging folder.
    static std::string TransferCommand(const std::string& localFileName);

    // The server: the product's, unless PULSARO_UPDATE_URL names a test or staging server.
    static std::string ServerUrl();

    // The idle wait: handles events while a request runs. Returns how that request ended;
    // success when none was running.
    [[nodiscard]] OpResult WaitUntilIdle();

    Inet& Inet1;

    // 0 when the installed application now holds the downloaded file, 1 otherwise.
    int exitStatus = 1;

  private:
    Window& window_;
};

}  // namespace pulsaro::update
