#pragma once

#include "update_form.h"
#include "wininet_inet.h"

#include <windows.h>

// The updater's window on this host: never shown, it hosts the transfer component and runs the
// update when the program starts.
class UpdaterWindow final : public pulsaro::update::Window {
  public:
    UpdaterWindow();
    ~UpdaterWindow() override;
    UpdaterWindow(const UpdaterWindow&) = delete;
    UpdaterWindow& operator=(const UpdaterWindow&) = delete;

    void Unload() override;

    pulsaro::WinInetInet Inet1;
    pulsaro::update::Form1 form{*this, Inet1};

  private:
    HWND window_ = nullptr;
};
