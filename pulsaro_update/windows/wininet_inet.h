#pragma once

#include "inet.h"

#include <windows.h>

#include <memory>

namespace pulsaro {

// The transfer component on this host: WinINet's FTP client. Its blocking calls run on a worker
// thread of each request, while the program's thread keeps everything else: the downloaded bytes
// go into the download sink as the program handles the component's window messages, and the
// request time-out (RequestTimeout) is kept here, on the program's thread, because WinINet's own
// time-outs cannot be relied upon to end a silent connection.
class WinInetInet final : public Inet {
  public:
    WinInetInet();
    ~WinInetInet() override;
    WinInetInet(const WinInetInet&) = delete;
    WinInetInet& operator=(const WinInetInet&) = delete;

    bool StillExecuting() const override { return request_ != nullptr; }
    void Cancel() override;

  private:
    class Request;

    OpResult Start(const std::string& serverUrl, const GetCommand& get,
                   const FailureOf& failure) override;
    static LRESULT CALLBACK windowProcedure(HWND window, UINT message, WPARAM, LPARAM);
    void service();
    void end(OpResult outcome);

    HWND window_ = nullptr;
    std::unique_ptr<Request> request_;
};

}  // namespace pulsaro
