#include "ftp_transfer.h"

#include "ftp_reply.h"
#include "wide.h"

#include <algorithm>
#include <utility>

namespace pulsaro {
namespace {

constexpr wchar_t kAgent[] = L"pulsaro_update";
constexpr DWORD kReadSize = 64 * 1024;
// The bytes as stored, fetched from the server rather than any cache, and never copied into one.
constexpr DWORD kGetFlags =
    FTP_TRANSFER_TYPE_BINARY | INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE;

std::string_view withoutLineEnds(std::string_view text) {
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.remove_suffix(1);
    return text;
}

// The text of the server's last reply on this thread, without its line end.
std::string lastServerReply() {
    DWORD error = 0;
    DWORD length = 512;
    std::wstring text(length, L'\0');
    if (!InternetGetLastResponseInfoW(&error, text.data(), &length)) {
        if (GetLastError() != ERROR_INSUFFICIENT_BUFFER) return {};
        text.assign(++length, L'\0');
        if (!InternetGetLastResponseInfoW(&error, text.data(), &length)) return {};
    }
    // The length counts the terminating null on some versions of WinINet and not on others.
    text.resize(std::min<std::size_t>(length, text.find(L'\0')));
    return std::string(withoutLineEnds(narrow(text)));
}

// A reply of several lines ends with the line that carries its code.
std::string_view lastLine(std::string_view reply) {
    const std::size_t end = reply.find_last_of('\n');
    return end == std::string_view::npos ? reply : reply.substr(end + 1);
}

const wchar_t* orNull(const std::wstring& text) {
    return text.empty() ? nullptr : text.c_str();
}

}  // namespace

FtpTransfer::FtpTransfer(std::shared_ptr<TransferHandover> handover, FtpTransferSettings settings)
    : handover_(std::move(handover)), settings_(std::move(settings)), buffer_(kReadSize) {}

// When the data ended well, the final reply that closing the file reads decides; a failure
// before that stands whatever the close reads.
void FtpTransfer::run() {
    std::optional<TransferEnd> end = fetch();
    if (end && file_) {
        std::optional<TransferEnd> closed = closeFile();
        if (end->ok()) end = std::move(closed);
    }
    if (handover_->handlesClosedByProgram()) return;
    closeHandles();
    if (end) handover_->finish(std::move(*end));
}

std::optional<TransferEnd> FtpTransfer::fetch() {
    root_ = InternetOpenW(kAgent, INTERNET_OPEN_TYPE_DIRECT, nullptr, nullptr, 0);
    if (!root_) {
        lastError_ = GetLastError();
        return failed("InternetOpenW");
    }
    // Every reply the server sends is heard by the request time-out on the program's thread.
    InternetSetStatusCallbackW(root_, &FtpTransfer::onStatus);
    if (!handover_->publishRoot(root_)) return std::nullopt;
    for (auto step : {&FtpTransfer::login, &FtpTransfer::askSize, &FtpTransfer::openFile}) {
        if (std::optional<TransferEnd> end = (this->*step)(); !end || !end->ok()) return end;
    }
    return readFile();
}

std::optional<TransferEnd> FtpTransfer::login() {
    const wchar_t* userName = orNull(settings_.userName);
    const wchar_t* password = userName ? settings_.password.c_str() : nullptr;
    switch (call([&] {
        connection_ =
            InternetConnectW(root_, settings_.host.c_str(), settings_.port, userName, password,
                             INTERNET_SERVICE_FTP, INTERNET_FLAG_PASSIVE, context());
        return connection_ != nullptr;
    })) {
        case Call::Done:
            return TransferEnd();
        case Call::Failed:
            return unlessSilent(failed("InternetConnectW"));
        case Call::Abandoned:
            break;
    }
    return std::nullopt;
}

// The reply to SIZE goes to the sink, which holds the bytes to any size it states. A server in
// ASCII mode may count the file differently, so binary mode comes first; a server that declines
// either command with an error reply simply states no size here. A command left unanswered stops
// the request, since its late reply would be taken for the next command's: the worker stops and
// the request time-out ends the request (WinINet's error does not tell a server gone silent from
// a connection gone).
std::optional<TransferEnd> FtpTransfer::askSize() {
    const std::wstring commands[] = {L"TYPE I", L"SIZE " + settings_.remotePath};
    for (const std::wstring& command : commands) {
        const std::uint64_t repliesBefore = handover_->repliesHeard();
        const Call made = call([&] {
            return FtpCommandW(connection_, FALSE, FTP_TRANSFER_TYPE_BINARY, command.c_str(),
                               context(), nullptr) != FALSE;
        });
        if (made == Call::Abandoned) return std::nullopt;
        if (made == Call::Failed && handover_->repliesHeard() == repliesBefore) return std::nullopt;
    }
    if (!handover_->serverReplied(std::string(lastLine(lastReply_)))) return std::nullopt;
    return TransferEnd();
}

// The remote path is absolute, so it names the same file whatever folder the login landed in.
std::optional<TransferEnd> FtpTransfer::openFile() {
    switch (call([this] {
        file_ = FtpOpenFileW(connection_, settings_.remotePath.c_str(), GENERIC_READ, kGetFlags,
                             context());
        return file_ != nullptr;
    })) {
        case Call::Done:
            break;
        case Call::Failed:
            return unlessSilent(failed("FtpOpenFileW"));
        case Call::Abandoned:
            return std::nullopt;
    }
    // The reply that opens the transfer may state the size too.
    if (!handover_->serverReplied(std::string(lastLine(lastReply_)))) return std::nullopt;
    return TransferEnd();
}

std::optional<TransferEnd> FtpTransfer::readFile() {
    for (;;) {
        DWORD got = 0;
        switch (call([&] { return InternetReadFile(file_, buffer_.data(), kReadSize, &got); })) {
            case Call::Done:
                break;
            case Call::Failed:
                return unlessSilent(unconfirmed("InternetReadFile"));
            case Call::Abandoned:
                return std::nullopt;
        }
        if (got == 0) {
            handover_->dataEnded();
            return TransferEnd();
        }
        if (!handover_->deliver(buffer_.data(), got)) return std::nullopt;
    }
}

// Closing the file reads the server's final reply, the only word on whether it sent the whole
// file when it stated no size. WinINet's close succeeds whether that reply came or not, so
// whether it came is told by the replies heard during the close.
std::optional<TransferEnd> FtpTransfer::closeFile() {
    const std::uint64_t repliesBefore = handover_->repliesHeard();
    DWORD closeError = ERROR_SUCCESS;
    const Call made = call([&] {
        const BOOL closed = InternetCloseHandle(std::exchange(file_, nullptr));
        closeError = GetLastError();
        return closed;
    });
    if (made == Call::Abandoned) return std::nullopt;
    if (handover_->repliesHeard() == repliesBefore) {
        lastError_ = closeError;
        return unlessSilent(unconfirmed("the final reply"));
    }
    if (isFailureReply(lastLine(lastReply_))) {
        lastError_ = ERROR_INTERNET_EXTENDED_ERROR;
        return failed("the transfer");
    }
    return TransferEnd();
}

void FtpTransfer::closeHandles() {
    for (HINTERNET* handle : {&file_, &connection_, &root_}) {
        if (*handle) InternetCloseHandle(std::exchange(*handle, nullptr));
    }
}

template <class Function>
FtpTransfer::Call FtpTransfer::call(Function&& function) {
    if (!handover_->enterCall()) return Call::Abandoned;
    const bool done = function();
    lastError_ = done ? ERROR_SUCCESS : GetLastError();
    lastReply_ = lastServerReply();
    if (!handover_->leaveCall()) return Call::Abandoned;
    return done ? Call::Done : Call::Failed;
}

TransferEnd FtpTransfer::failed(const char* step) const {
    return TransferEnd{TransferEnd::Kind::Failed, lastError_, step, lastReply_};
}

TransferEnd FtpTransfer::unconfirmed(const char* step) const {
    return TransferEnd{TransferEnd::Kind::Unconfirmed, lastError_, step, lastReply_};
}

std::optional<TransferEnd> FtpTransfer::unlessSilent(TransferEnd end) const {
    if (lastError_ == ERROR_INTERNET_TIMEOUT) return std::nullopt;
    return end;
}

void CALLBACK FtpTransfer::onStatus(HINTERNET, DWORD_PTR context, DWORD status, void*, DWORD) {
    if (status == INTERNET_STATUS_RESPONSE_RECEIVED && context) {
        reinterpret_cast<TransferHandover*>(context)->noteReply();
    }
}

}  // namespace pulsaro
