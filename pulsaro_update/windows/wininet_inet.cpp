#include "wininet_inet.h"

#include "download_sink.h"
#include "ftp_reply.h"
#include "ftp_transfer.h"
#include "hidden_window.h"
#include "system_error.h"
#include "wide.h"

#include <algorithm>
#include <chrono>
#include <optional>
#include <system_error>
#include <thread>

namespace pulsaro {
namespace {

using std::chrono::milliseconds;

constexpr wchar_t kWindowClass[] = L"PulsaroInetNotifications";
constexpr UINT kWake = WM_APP + 1;
constexpr UINT_PTR kDeadlineTimer = 1;

// The deadline is looked at ten times per time-out, at most once a second, so a silent request
// ends at most a tenth of its time-out late.
UINT deadlinePeriod(milliseconds timeout) {
    return static_cast<UINT>(
        std::clamp<milliseconds::rep>(timeout.count() / 10, USER_TIMER_MINIMUM, 1000));
}

}  // namespace

// The program's side of one get request: the sink the server's replies and bytes go to, and the
// deadline.
class WinInetInet::Request {
  public:
    Request(HWND window, const FailureOf& failure, milliseconds timeout,
            std::optional<std::int64_t> largest)
        : failure_(failure),
          timeout_(timeout),
          sink_(failure, largest),
          handover_(std::make_shared<TransferHandover>(window, kWake)) {}
    // However the request ends, the worker makes no further call and leaves nothing behind.
    ~Request() { handover_->abandon(); }
    Request(const Request&) = delete;
    Request& operator=(const Request&) = delete;

    OpResult start(const FtpServerAddress& server, const GetCommand& get, const Inet& account);
    // Takes what the worker left; how the request ended, once it has.
    std::optional<OpResult> service();
    OpResult cancelled() const { return failure_(FailedRule::Cancelled, "cancelled"); }

  private:
    OpResult complete(const TransferEnd& end);

    FailureOf failure_;
    milliseconds timeout_;
    DownloadSink sink_;
    std::shared_ptr<TransferHandover> handover_;
};

// The worker is never waited for: under Wine a call blocked on a silent server does not return
// when its handles are closed, and the program must not hang with it. The worker keeps the
// hand-over alive for as long as it runs and touches nothing else of the program's.
OpResult WinInetInet::Request::start(const FtpServerAddress& server, const GetCommand& get,
                                     const Inet& account) {
    if (OpResult opened = sink_.open(get.localPath); !opened) return opened;
    FtpTransferSettings settings{widen(server.host), server.port, widen(account.UserName()),
                                 widen(account.Password()), widen(get.remotePath)};
    try {
        std::thread([transfer = FtpTransfer(handover_, std::move(settings))]() mutable {
            transfer.run();
        }).detach();
    } catch (const std::system_error& error) {
        return failure_(std::string("cannot start the transfer: ") + error.what(),
                        ErrorCode::system(error.code().value()));
    }
    return OpResult::success();
}

std::optional<OpResult> WinInetInet::Request::service() {
    const Delivery delivery = handover_->take();
    for (const std::string& line : delivery.serverReplies) {
        if (!sink_.serverReplied(line)) return *sink_.problem();
    }
    for (const std::string& chunk : delivery.chunks) {
        if (!sink_.add(chunk.data(), chunk.size())) return *sink_.problem();
    }
    if (delivery.end) return complete(*delivery.end);
    // Bytes that waited for this thread were progress too, however long they waited.
    if (!delivery.chunks.empty()) handover_->noteProgress();
    if (std::chrono::steady_clock::now() - handover_->lastProgress() >= timeout_) {
        return failure_(FailedRule::TimedOut, "nothing came from the server for " +
                                                  std::to_string(timeout_.count()) + " ms");
    }
    return std::nullopt;
}

// WinINet's error first, as the server or the connection said it; then the sink's own checks.
OpResult WinInetInet::Request::complete(const TransferEnd& end) {
    if (end.ok()) return sink_.commit();
    std::string reason = end.step + ": " + hostReason(end.error);
    if (!end.serverReply.empty()) reason += " (" + end.serverReply + ")";
    return failure_(std::move(reason), ErrorCode::transfer(static_cast<long>(end.error)));
}

// A message-only window of its own carries the worker's wake-ups and the deadline's timer, so
// the component works in any program that handles its messages.
WinInetInet::WinInetInet() {
    window_ = createHiddenWindow(kWindowClass, &WinInetInet::windowProcedure, L"", HWND_MESSAGE);
    SetWindowLongPtrW(window_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
}

WinInetInet::~WinInetInet() {
    request_.reset();
    DestroyWindow(window_);
}

OpResult WinInetInet::Start(const std::string& serverUrl, const GetCommand& get,
                            const FailureOf& failure) {
    const FtpServerAddress server = parseFtpUrl(serverUrl);
    if (!server.ok()) return failure(FailedRule::BadCommand, server.error);
    auto request = std::make_unique<Request>(window_, failure, requestTimeout(), maximumSize());
    if (OpResult started = request->start(server, get, *this); !started) return started;
    request_ = std::move(request);
    SetTimer(window_, kDeadlineTimer, deadlinePeriod(requestTimeout()), nullptr);
    return OpResult::success();
}

void WinInetInet::Cancel() {
    if (request_) end(request_->cancelled());
}

void WinInetInet::service() {
    if (!request_) return;
    if (std::optional<OpResult> outcome = request_->service()) end(std::move(*outcome));
}

void WinInetInet::end(OpResult outcome) {
    KillTimer(window_, kDeadlineTimer);
    request_.reset();
    Finish(std::move(outcome));
}

LRESULT CALLBACK WinInetInet::windowProcedure(HWND window, UINT message, WPARAM wParam,
                                              LPARAM lParam) {
    if (message == kWake || message == WM_TIMER) {
        auto* inet = reinterpret_cast<WinInetInet*>(GetWindowLongPtrW(window, GWLP_USERDATA));
        if (inet) inet->service();
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

}  // namespace pulsaro
