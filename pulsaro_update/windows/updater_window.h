#pragma once

#include "update_form.h"
#include "wininet_inet.h"

#include <windows.h>

#include <span>

// The updater's window on this host: never shown, it hosts the transfer component and runs the
// update when the program starts.
class UpdaterWindow final : public pulsaro::update::Window {
  public:
    // Without keys, updates are installed unverified.
    explicit UpdaterWindow(std::span<const pulsaro::P256PublicKey> updateKeys = {});
    ~UpdaterWindow() override;
    UpdaterWindow(const UpdaterWindow&) = delete;
    UpdaterWindow& operator=(const UpdaterWindow&) = delete;

    void Unload() override;

    pulsaro::WinInetInet Inet1;
    pulsaro::update::Form1 form;

  private:
    HWND window_ = nullptr;
};
