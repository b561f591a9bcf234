#pragma once

#include "curl_inet.h"
#include "update_form.h"

#include <QWidget>

#include <span>

// The updater's window on this host: never shown, it hosts the transfer component and runs the
// update when the program starts.
class UpdaterWindow : public QWidget, public pulsaro::update::Window {
  public:
    // Without keys, updates are installed unverified.
    explicit UpdaterWindow(std::span<const pulsaro::P256PublicKey> updateKeys = {});

    void Unload() override;

    pulsaro::CurlInet Inet1;
    pulsaro::update::Form1 form;
};
