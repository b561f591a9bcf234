#pragma once

#include "op_result.h"

#include <QSocketNotifier>
#include <QTimer>

#include <curl/curl.h>

#include <chrono>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace pulsaro {

struct CurlMultiCleanup {
    void operator()(CURLM* multi) const { curl_multi_cleanup(multi); }
};
using CurlMulti = std::unique_ptr<CURLM, CurlMultiCleanup>;

// The Internet transfer component hosted on the updater's window. It runs one FTP request at a
// time inside the program's event loop: libcurl's sockets are watched by socket notifiers and its
// time-outs by a timer, so the request makes progress exactly while the program handles events
// and never blocks the thread.
class Inet {
  public:
    Inet();
    ~Inet();
    Inet(const Inet&) = delete;
    Inet& operator=(const Inet&) = delete;

    const std::string& URL() const { return url_; }
    void setURL(std::string url) { url_ = std::move(url); }
    const std::string& UserName() const { return userName_; }
    void setUserName(std::string userName) { userName_ = std::move(userName); }
    const std::string& Password() const { return password_; }
    void setPassword(std::string password) { password_ = std::move(password); }

    // Bounds the connection and login, and any stretch of the transfer without a byte; a slow
    // transfer that keeps moving is never cut. Zero waits for ever.
    std::chrono::milliseconds RequestTimeout() const { return requestTimeout_; }
    void setRequestTimeout(std::chrono::milliseconds timeout) { requestTimeout_ = timeout; }

    // True from a started Execute until its request has ended, well or badly.
    bool StillExecuting() const { return request_ != nullptr; }

    // Starts "get <remote> <local>" against url (the URL property when empty) and returns at
    // once. The local file is replaced only once the whole remote file has arrived; until then
    // the bytes go to a temporary file beside it, which is removed if the request ends badly.
    // Fails at once, starting nothing, while a request is still executing, for any other
    // command, or when the local file cannot be prepared.
    [[nodiscard]] OpResult Execute(std::string_view url, std::string_view command);

    // Ends the running request and closes its connection; does nothing when idle.
    void Cancel();

    // How the most recent request ended; success before the first.
    const OpResult& Outcome() const { return outcome_; }

  private:
    class Request;
    struct SocketWatch {
        std::unique_ptr<QSocketNotifier> readable;
        std::unique_ptr<QSocketNotifier> writable;
    };

    static int onCurlSocket(CURL* easy, curl_socket_t socket, int what, void* self, void*);
    static int onCurlTimer(CURLM* multi, long timeoutMs, void* self);
    void watch(curl_socket_t socket, int what);
    void unwatch(curl_socket_t socket);
    void drive(curl_socket_t socket, int events);
    void collectFinished();
    void checkProgress();
    void end(OpResult outcome);

    std::string url_;
    std::string userName_;
    std::string password_;
    std::chrono::milliseconds requestTimeout_{std::chrono::seconds(60)};
    OpResult outcome_ = OpResult::success();

    // Declared in the order they may be torn down in reverse: the request leaves the multi
    // handle, which calls back into the watches and the timer, before any of them goes.
    CurlMulti multi_;
    QTimer curlTimer_;
    QTimer progressTimer_;
    std::map<curl_socket_t, SocketWatch> watches_;
    // Notifiers curl is done with; deleted only outside their own notification.
    std::vector<std::unique_ptr<QSocketNotifier>> retired_;
    std::unique_ptr<Request> request_;
};

}  // namespace pulsaro
