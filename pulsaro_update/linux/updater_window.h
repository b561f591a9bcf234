#pragma once

#include "curl_inet.h"
#include "update_form.h"

#include <QWidget>

// The updater's window on this host: never shown, it hosts the transfer component and runs the
// update when the program starts.
class UpdaterWindow : public QWidget, public pulsaro::update::Window {
  public:
    UpdaterWindow();

    void Unload() override;

    pulsaro::CurlInet Inet1;
    pulsaro::update::Form1 form{*this, Inet1};
};
