#pragma once

#include "action.h"
#include "inet.h"
#include "op_result.h"
#include "signature.h"

#include <span>
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
// transfer component and runs Form_Load when the program starts. Given the vendor's public keys,
// it installs only an update signed with one of them.
class Form1 {
  public:
    Form1(Window& window, Inet& inet, std::span<const P256PublicKey> updateKeys = {})
        : Inet1(inet), window_(window), updateKeys_(updateKeys) {}

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

    // Whether the download may be staged: always, for a program without keys, which asks for no
    // signature; otherwise only when the signature the server holds beside the remote
    // application signs the download with one of the keys. Failed steps go to run; the fetched
    // signature is never left behind.
    bool VerifyDownload(Action& run);

    // The "get" command that fetches the remote application's signature beside the download.
    static std::string SignatureCommand();

    // The server: the product's, unless PULSARO_UPDATE_URL names a test or staging server.
    static std::string ServerUrl();

    // The idle wait: handles events while a request runs. Returns how that request ended;
    // success when none was running.
    [[nodiscard]] OpResult WaitUntilIdle();

    Inet& Inet1;

    // 0 when the installed application now holds the downloaded file, 1 otherwise.
    int exitStatus = 1;

  private:
    OpResult CheckSignature();

    Window& window_;
    std::span<const P256PublicKey> updateKeys_;
};

}  // namespace pulsaro::update
