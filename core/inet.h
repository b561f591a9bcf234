#pragma once

#include "get_command.h"
#include "op_result.h"

#include <chrono>
#include <string>
#include <string_view>

namespace pulsaro {

// The Internet transfer component hosted on the updater's window: one FTP "get" request at a
// time, making progress while the program handles events. Each host brings its own transport;
// what a request accepts, and how it reports, is the same on all of them.
class Inet {
  public:
    virtual ~Inet() = default;

    const std::string& URL() const { return url_; }
    void setURL(std::string_view url) { url_ = url; }
    const std::string& UserName() const { return userName_; }
    void setUserName(std::string_view userName) { userName_ = userName; }
    const std::string& Password() const { return password_; }
    void setPassword(std::string_view password) { password_ = password; }

    // The request time-out (see RequestTimeout): nothing from the server for this long ends a
    // request, and so do fewer bytes of the file than 1 KiB per second of it over this long.
    void setRequestTimeout(std::chrono::milliseconds timeout) { requestTimeout_ = timeout; }

    // True from a started Execute until its request has ended, well or badly.
    virtual bool StillExecuting() const = 0;

    // Starts "get <remote> <local>" against url (the URL property when empty) and returns at
    // once. The local file is replaced only once the whole remote file has arrived (see
    // DownloadSink for what makes it whole). Fails at once, starting nothing, while a request is
    // still executing, for any other command, or when the local file cannot be prepared.
    [[nodiscard]] OpResult Execute(std::string_view url, std::string_view command);

    // Ends the running request and closes its connection; does nothing when idle.
    virtual void Cancel() = 0;

    // How the most recent request ended; success before the first.
    const OpResult& Outcome() const { return outcome_; }

  protected:
    // Starts the transport for a parsed request; a failure means nothing was started.
    [[nodiscard]] virtual OpResult Start(const std::string& serverUrl, const GetCommand& get,
                                         const FailureOf& failure) = 0;
    // Records how the running request ended.
    void Finish(OpResult outcome) { outcome_ = std::move(outcome); }
    std::chrono::milliseconds requestTimeout() const { return requestTimeout_; }

  private:
    std::string url_;
    std::string userName_;
    std::string password_;
    std::chrono::milliseconds requestTimeout_{std::chrono::seconds(60)};
    OpResult outcome_ = OpResult::success();
};

}  // namespace pulsaro
