#include "wininet_inet.h"

#include "download_sink.h"
#include "ftp_reply.h"
#include "ftp_transfer.h"
#include "hidden_window.h"
#include "host.h"
#include "request_timeout.h"
#include "system_error.h"
#include "wide.h"

#include <chrono>
#include <cstdint>
#include <optional>
#include <system_error>
#include <thread>

namespace pulsaro {
namespace {

using std::chrono::milliseconds;

constexpr wchar_t kWindowClass[] = L"PulsaroInetNotifications";
constexpr UINT kWake = WM_APP + 1;
constexpr UINT_PTR kTimeOutTimer = 1;

RequestTimeout::Clock::time_point now() {
    return RequestTimeout::Clock::now();
}

}  // namespace

// The program's side of one get request: the sink the server's replies and bytes go to, and the
// request time-out, which hears of them as this thread takes them.
class WinInetInet::Request {
  public:
    Request(HWND window, const FailureOf& failure, milliseconds timeout,
            std::optional<std::int64_t> largest)
        : failure_(failure),
          timeout_(timeout, now()),
          sink_(std::make_unique<PartialFile>(), failure, largest),
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
    OpResult concluded(const OpResult& expiry);

    FailureOf failure_;
    RequestTimeout timeout_;
    DownloadSink sink_;
    std::shared_ptr<TransferHandover> handover_;
    std::uint64_t repliesSeen_ = 0;
    bool transferOpened_ = false;  // the reply opening the transfer came
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

// What waited for this thread counts as arriving now: however long it waited, the server sent
// it within that while.
std::optional<OpResult> WinInetInet::Request::service() {
    const Delivery delivery = handover_->take();
    const auto taken = now();
    if (const std::uint64_t heard = handover_->repliesHeard(); heard != repliesSeen_) {
        repliesSeen_ = heard;
        timeout_.replyArrived(taken);
    }
    for (const std::string& line : delivery.serverReplies) {
        if (opensTheTransfer(line)) transferOpened_ = true;
        if (!sink_.serverReplied(line)) return *sink_.problem();
    }
    for (const std::string& chunk : delivery.chunks) {
        timeout_.bytesArrived(chunk.size(), taken);
        if (!sink_.add(chunk.data(), chunk.size())) return *sink_.problem();
    }
    if (delivery.dataEnded) timeout_.dataEnded();
    if (delivery.end) return complete(*delivery.end);
    if (std::optional<OpResult> expiry = timeout_.check(taken, failure_)) return concluded(*expiry);
    return std::nullopt;
}

// The server's final success reply makes the file whole; a transfer that ended without a final
// reply keeps it only when it matches every size stated (see DownloadSink). Otherwise WinINet's
// error, as the server or the connection said it.
OpResult WinInetInet::Request::complete(const TransferEnd& end) {
    std::string reason = end.step + ": " + hostReason(end.error);
    if (!end.serverReply.empty()) reason += " (" + end.serverReply + ")";
    switch (end.kind) {
        case TransferEnd::Kind::Confirmed:
            return sink_.commit();
        case TransferEnd::Kind::Unconfirmed:
            return sink_.commitUnconfirmed(failure_(
                FailedRule::Unconfirmed,
                "the connection ended before the server confirmed the transfer (" + reason + ")"));
        case TransferEnd::Kind::Failed:
            break;
    }
    return failure_(std::move(reason), ErrorCode::transfer(static_cast<long>(end.error)));
}

// A time-out after the transfer opened leaves the file whole only if it matches every size the
// server stated; before that, no file has come.
OpResult WinInetInet::Request::concluded(const OpResult& expiry) {
    return transferOpened_ ? sink_.commitUnconfirmed(expiry) : expiry;
}

// A message-only window of its own carries the worker's wake-ups and the time-out's timer, so
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
    SetTimer(window_, kTimeOutTimer,
             static_cast<UINT>(RequestTimeout::checkPeriod(requestTimeout()).count()), nullptr);
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
    KillTimer(window_, kTimeOutTimer);
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
