#pragma once

#include "download_sink.h"
#include "inet.h"
#include "request_timeout.h"

#include <QSocketNotifier>
#include <QTimer>

#include <curl/curl.h>

#include <map>
#include <memory>
#include <vector>

namespace pulsaro {

struct CurlMultiCleanup {
    void operator()(CURLM* multi) const { curl_multi_cleanup(multi); }
};
using CurlMulti = std::unique_ptr<CURLM, CurlMultiCleanup>;

// The transfer component on this host: libcurl's multi interface inside the Qt event loop.
// libcurl's sockets are watched by socket notifiers and its time-outs by a timer, so a request
// makes progress exactly while the program handles events and never blocks the thread.
class CurlInet final : public Inet {
  public:
    CurlInet();
    ~CurlInet() override;
    CurlInet(const CurlInet&) = delete;
    CurlInet& operator=(const CurlInet&) = delete;

    bool StillExecuting() const override { return request_ != nullptr; }
    void Cancel() override;

  private:
    class Request;
    struct SocketWatch {
        std::unique_ptr<QSocketNotifier> readable;
        std::unique_ptr<QSocketNotifier> writable;
    };

    OpResult Start(const std::string& serverUrl, const GetCommand& get,
                   const FailureOf& failure) override;
    static int onCurlSocket(CURL* easy, curl_socket_t socket, int what, void* self, void*);
    static int onCurlTimer(CURLM* multi, long timeoutMs, void* self);
    void watch(curl_socket_t socket, int what);
    void unwatch(curl_socket_t socket);
    void drive(curl_socket_t socket, int events);
    void checkTimeOut();
    void collectFinished();
    void end(OpResult outcome);

    // Declared in the order they may be torn down in reverse: the request leaves the multi
    // handle, which calls back into the watches and the timer, before any of them goes.
    CurlMulti multi_;
    QTimer curlTimer_;
    // While a request runs, its time-out is looked at now and then: nothing else would wake the
    // program for a server that says nothing.
    QTimer timeOutCheck_;
    std::map<curl_socket_t, SocketWatch> watches_;
    // Notifiers curl is done with; deleted only outside their own notification.
    std::vector<std::unique_ptr<QSocketNotifier>> retired_;
    std::unique_ptr<Request> request_;
};

}  // namespace pulsaro
