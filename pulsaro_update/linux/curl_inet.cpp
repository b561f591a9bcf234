#include "curl_inet.h"

#include "ftp_reply.h"
#include "host.h"

#include <QByteArray>

#include <unistd.h>

#include <algorithm>
#include <climits>
#include <optional>
#include <stdexcept>

namespace pulsaro {
namespace {

using std::chrono::milliseconds;

void initialiseCurlOnce() {
    struct CurlGlobal {
        CurlGlobal() {
            if (curl_global_init(CURL_GLOBAL_DEFAULT) != CURLE_OK) {
                throw std::runtime_error("libcurl cannot be initialised");
            }
        }
        ~CurlGlobal() { curl_global_cleanup(); }
    };
    static const CurlGlobal global;
}

struct CurlEasyCleanup {
    void operator()(CURL* easy) const { curl_easy_cleanup(easy); }
};
using CurlEasy = std::unique_ptr<CURL, CurlEasyCleanup>;

struct CurlListCleanup {
    void operator()(curl_slist* list) const { curl_slist_free_all(list); }
};
using CurlList = std::unique_ptr<curl_slist, CurlListCleanup>;

struct CurlUrlCleanup {
    void operator()(CURLU* url) const { curl_url_cleanup(url); }
};
using CurlUrl = std::unique_ptr<CURLU, CurlUrlCleanup>;

std::string fileNameOf(const std::string& remotePath) {
    return remotePath.substr(remotePath.rfind('/') + 1);
}

// The remote path is absolute on the server, so the URL path starts with an encoded "/": an
// FTP URL's path is otherwise taken relative to the folder the login lands in.
std::string urlPathOf(const std::string& remotePath) {
    const QByteArray rest = QByteArray::fromStdString(remotePath.substr(1));
    return "/%2F" + rest.toPercentEncoding("/").toStdString();
}

// The server URL with the remote file as its path; a reason when it cannot be one.
std::optional<std::string> buildUrl(CURLU* handle, const std::string& serverUrl,
                                    const std::string& remotePath) {
    if (CURLUcode rc = curl_url_set(handle, CURLUPART_URL, serverUrl.c_str(), 0); rc != CURLUE_OK) {
        return std::string("invalid URL: ") + curl_url_strerror(rc);
    }
    char* scheme = nullptr;
    if (curl_url_get(handle, CURLUPART_SCHEME, &scheme, 0) != CURLUE_OK)
        return "URL without scheme";
    const bool ftp = std::string_view(scheme) == "ftp";  // CURLU hands the scheme lower-cased
    curl_free(scheme);
    if (!ftp) return "only ftp:// URLs are supported";
    curl_url_set(handle, CURLUPART_QUERY, nullptr, 0);
    curl_url_set(handle, CURLUPART_FRAGMENT, nullptr, 0);
    if (CURLUcode rc = curl_url_set(handle, CURLUPART_PATH, urlPathOf(remotePath).c_str(), 0);
        rc != CURLUE_OK) {
        return std::string("invalid remote path: ") + curl_url_strerror(rc);
    }
    return std::nullopt;
}

RequestTimeout::Clock::time_point now() {
    return RequestTimeout::Clock::now();
}

}  // namespace

// One get request: its libcurl handles, the sink it fills and its time-out.
class CurlInet::Request {
  public:
    Request(CURLM* multi, const FailureOf& failure, milliseconds timeout,
            std::optional<std::int64_t> largest)
        : multi_(multi),
          failureOf_(failure),
          sink_(std::make_unique<PartialFile>(), failure, largest),
          timeout_(timeout, now()) {}
    ~Request() {
        if (inMulti_) curl_multi_remove_handle(multi_, easy_.get());
    }
    Request(const Request&) = delete;
    Request& operator=(const Request&) = delete;

    OpResult start(const std::string& serverUrl, const GetCommand& get, const CurlInet& settings) {
        url_.reset(curl_url());
        easy_.reset(curl_easy_init());
        if (!url_ || !easy_) return failure_(CURLE_OUT_OF_MEMORY, "out of memory");
        if (auto why = buildUrl(url_.get(), serverUrl, get.remotePath)) {
            return failure_(FailedRule::BadCommand, *why);
        }
        if (OpResult opened = sink_.open(get.localPath); !opened) return opened;
        sizeQuery_.reset(
            curl_slist_append(nullptr, ("*SIZE " + fileNameOf(get.remotePath)).c_str()));
        if (!sizeQuery_) return failure_(CURLE_OUT_OF_MEMORY, "out of memory");
        configure(settings);
        if (CURLMcode rc = curl_multi_add_handle(multi_, easy_.get()); rc != CURLM_OK) {
            return failure_(CURLE_FAILED_INIT, curl_multi_strerror(rc));
        }
        inMulti_ = true;
        return OpResult::success();
    }

    // How the request ended once curl is done with it. The server's final success reply makes
    // the file whole; a transfer that ended without a final reply keeps it only when it matches
    // every size stated (see DownloadSink).
    OpResult complete(CURLcode code) {
        if (sink_.problem()) return *sink_.problem();
        if (problem_) return *problem_;
        if (code == CURLE_OK) return sink_.commit();
        if (code == CURLE_ABORTED_BY_CALLBACK && expired_) return concluded(*expired_);
        if (!transferOpened_ || finalReplyCame_) return failure_(code, curlReason(code));
        // curl's own wait for the final reply has a limit of its own, near the time-out's.
        const OpResult why =
            code == CURLE_OPERATION_TIMEDOUT
                ? failure_(FailedRule::TimedOut, curlReason(code))
                : failure_(FailedRule::Unconfirmed,
                           "the connection ended before the server confirmed the transfer (" +
                               curlReason(code) + ")");
        return sink_.commitUnconfirmed(why);
    }

    // How the request ends when the time-out ends it now; nothing while it runs on.
    std::optional<OpResult> expired() {
        std::optional<OpResult> expiry = timeout_.check(now(), failureOf_);
        if (!expiry) return std::nullopt;
        return concluded(*expiry);
    }

    OpResult cancelled() const { return failure_(FailedRule::Cancelled, "cancelled"); }
    CURL* easy() const { return easy_.get(); }

  private:
    OpResult failure_(CURLcode code, std::string reason) const {
        return failureOf_(std::move(reason), ErrorCode::transfer(code));
    }
    OpResult failure_(FailedRule rule, std::string reason) const {
        return failureOf_(rule, std::move(reason));
    }

    // A time-out after the transfer opened leaves the file whole only if it matches every size
    // the server stated; before that, no file has come.
    OpResult concluded(const OpResult& expiry) {
        return transferOpened_ ? sink_.commitUnconfirmed(expiry) : expiry;
    }

    void configure(const CurlInet& settings) {
        CURL* easy = easy_.get();
        curl_easy_setopt(easy, CURLOPT_CURLU, url_.get());
        curl_easy_setopt(easy, CURLOPT_PROTOCOLS_STR, "ftp");
        if (!settings.UserName().empty()) {
            curl_easy_setopt(easy, CURLOPT_USERNAME, settings.UserName().c_str());
            curl_easy_setopt(easy, CURLOPT_PASSWORD, settings.Password().c_str());
        }
        curl_easy_setopt(easy, CURLOPT_TRANSFERTEXT, 0L);  // binary: the bytes as stored
        curl_easy_setopt(easy, CURLOPT_FTP_FILEMETHOD, static_cast<long>(CURLFTPMETHOD_SINGLECWD));
        // curl would stop reading at the size the server announced and call a longer file
        // complete, and would trust only one of the sizes a server states; so the size is asked
        // for here (a server may decline), every reply goes to the sink, which holds the
        // download to each size stated, and curl takes whatever the data connection delivers.
        curl_easy_setopt(easy, CURLOPT_IGNORE_CONTENT_LENGTH, 1L);
        curl_easy_setopt(easy, CURLOPT_PREQUOTE, sizeQuery_.get());
        curl_easy_setopt(easy, CURLOPT_HEADERFUNCTION, &Request::onReply);
        curl_easy_setopt(easy, CURLOPT_HEADERDATA, this);
        // The request time-out is RequestTimeout's, not libcurl's: the periodic check applies
        // it, and so does the progress callback, which libcurl also calls while it blocks in the
        // wait for the final reply and for the reply to QUIT. Which socket is the data
        // connection shows when libcurl closes it.
        curl_easy_setopt(easy, CURLOPT_NOPROGRESS, 0L);
        curl_easy_setopt(easy, CURLOPT_XFERINFOFUNCTION, &Request::onProgress);
        curl_easy_setopt(easy, CURLOPT_XFERINFODATA, this);
        curl_easy_setopt(easy, CURLOPT_CLOSESOCKETFUNCTION, &Request::onSocketClosed);
        curl_easy_setopt(easy, CURLOPT_CLOSESOCKETDATA, this);
        // Cancel must close the connection, and nothing is kept open between requests.
        curl_easy_setopt(easy, CURLOPT_FORBID_REUSE, 1L);
        curl_easy_setopt(easy, CURLOPT_NOSIGNAL, 1L);
        // Fewer, larger writes: the transfer should cost no more than the network does.
        curl_easy_setopt(easy, CURLOPT_BUFFERSIZE, static_cast<long>(CURL_MAX_READ_SIZE));
        curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, &Request::onData);
        curl_easy_setopt(easy, CURLOPT_WRITEDATA, this);
        curl_easy_setopt(easy, CURLOPT_ERRORBUFFER, errorText_);
    }

    static size_t onReply(char* line, size_t size, size_t count, void* self) {
        auto* request = static_cast<Request*>(self);
        // No reply of a sound server comes near this; a server that sends one is not trusted.
        constexpr size_t kLongestReplyLine = 64 * 1024;
        if (size * count > kLongestReplyLine) {
            request->problem_ = request->failure_(
                FailedRule::ReplyTooLong,
                "the server sent a reply line of " + std::to_string(size * count) + " bytes");
            return 0;
        }
        const std::string_view reply(line, size * count);
        request->timeout_.replyArrived(now());
        if (request->transferOpened_) request->finalReplyCame_ = true;
        if (opensTheTransfer(reply)) request->transferOpened_ = true;
        return request->sink_.serverReplied(reply) ? size * count : 0;
    }

    static size_t onData(char* data, size_t size, size_t count, void* self) {
        auto* request = static_cast<Request*>(self);
        request->timeout_.bytesArrived(size * count, now());
        return request->sink_.add(data, size * count) ? size * count : 0;
    }

    static int onProgress(void* self, curl_off_t, curl_off_t, curl_off_t, curl_off_t) {
        auto* request = static_cast<Request*>(self);
        if (!request->expired_)
            request->expired_ = request->timeout_.check(now(), request->failureOf_);
        return request->expired_ ? 1 : 0;
    }

    // Once the transfer has opened, the control connection stays until the request is over, so
    // the first connection libcurl closes is the data connection.
    static int onSocketClosed(void* self, curl_socket_t socket) {
        auto* request = static_cast<Request*>(self);
        if (request->transferOpened_) request->timeout_.dataEnded();
        return ::close(socket);
    }

    std::string curlReason(CURLcode code) const {
        return errorText_[0] != '\0' ? std::string(errorText_) : curl_easy_strerror(code);
    }

    CURLM* multi_;
    FailureOf failureOf_;
    // The URL handle and the command list must outlive the easy handle that reads them.
    CurlUrl url_;
    CurlList sizeQuery_;
    CurlEasy easy_;
    bool inMulti_ = false;
    DownloadSink sink_;
    std::optional<OpResult> problem_;
    RequestTimeout timeout_;
    // The request time-out's verdict when it ended the request from inside libcurl.
    std::optional<OpResult> expired_;
    bool transferOpened_ = false;  // the reply opening the transfer came
    bool finalReplyCame_ = false;  // a reply after that one came
    char errorText_[CURL_ERROR_SIZE] = {};
};

CurlInet::CurlInet() {
    initialiseCurlOnce();
    multi_.reset(curl_multi_init());
    if (!multi_) throw std::bad_alloc();
    curl_multi_setopt(multi_.get(), CURLMOPT_SOCKETFUNCTION, &CurlInet::onCurlSocket);
    curl_multi_setopt(multi_.get(), CURLMOPT_SOCKETDATA, this);
    curl_multi_setopt(multi_.get(), CURLMOPT_TIMERFUNCTION, &CurlInet::onCurlTimer);
    curl_multi_setopt(multi_.get(), CURLMOPT_TIMERDATA, this);
    curlTimer_.setSingleShot(true);
    QObject::connect(&curlTimer_, &QTimer::timeout, &curlTimer_,
                     [this] { drive(CURL_SOCKET_TIMEOUT, 0); });
    QObject::connect(&timeOutCheck_, &QTimer::timeout, &timeOutCheck_, [this] { checkTimeOut(); });
}

CurlInet::~CurlInet() {
    request_.reset();
    // Whatever the multi handle still does while it goes must not reach members already gone.
    curl_multi_setopt(multi_.get(), CURLMOPT_SOCKETFUNCTION, nullptr);
    curl_multi_setopt(multi_.get(), CURLMOPT_TIMERFUNCTION, nullptr);
}

OpResult CurlInet::Start(const std::string& serverUrl, const GetCommand& get,
                         const FailureOf& failure) {
    auto request =
        std::make_unique<Request>(multi_.get(), failure, requestTimeout(), maximumSize());
    OpResult started = request->start(serverUrl, get, *this);
    if (started) {
        request_ = std::move(request);
        timeOutCheck_.start(RequestTimeout::checkPeriod(requestTimeout()));
    }
    return started;
}

void CurlInet::Cancel() {
    if (request_) end(request_->cancelled());
}

void CurlInet::end(OpResult outcome) {
    timeOutCheck_.stop();
    request_.reset();
    Finish(std::move(outcome));
}

int CurlInet::onCurlSocket(CURL*, curl_socket_t socket, int what, void* self, void*) {
    auto* inet = static_cast<CurlInet*>(self);
    if (what == CURL_POLL_REMOVE) {
        inet->unwatch(socket);
    } else {
        inet->watch(socket, what);
    }
    return 0;
}

int CurlInet::onCurlTimer(CURLM*, long timeoutMs, void* self) {
    auto* inet = static_cast<CurlInet*>(self);
    if (timeoutMs < 0) {
        inet->curlTimer_.stop();
    } else {
        inet->curlTimer_.start(static_cast<int>(std::min<long>(timeoutMs, INT_MAX)));
    }
    return 0;
}

void CurlInet::watch(curl_socket_t socket, int what) {
    SocketWatch& watch = watches_[socket];
    if (!watch.readable) {
        auto notifier = [this, socket](QSocketNotifier::Type type, int events) {
            auto made = std::make_unique<QSocketNotifier>(socket, type);
            QObject::connect(made.get(), &QSocketNotifier::activated, made.get(),
                             [this, socket, events] { drive(socket, events); });
            return made;
        };
        watch.readable = notifier(QSocketNotifier::Read, CURL_CSELECT_IN);
        watch.writable = notifier(QSocketNotifier::Write, CURL_CSELECT_OUT);
    }
    watch.readable->setEnabled((what & CURL_POLL_IN) != 0);
    watch.writable->setEnabled((what & CURL_POLL_OUT) != 0);
}

// Called from inside curl, possibly while one of these notifiers is delivering its own
// notification, so they are only disabled here and deleted later.
void CurlInet::unwatch(curl_socket_t socket) {
    const auto found = watches_.find(socket);
    if (found == watches_.end()) return;
    for (auto* notifier : {&found->second.readable, &found->second.writable}) {
        (*notifier)->setEnabled(false);
        retired_.push_back(std::move(*notifier));
    }
    watches_.erase(found);
}

void CurlInet::drive(curl_socket_t socket, int events) {
    retired_.clear();
    int running = 0;
    curl_multi_socket_action(multi_.get(), socket, events, &running);
    collectFinished();
}

// Whatever already arrived is taken first (an action on a socket, even with nothing announced,
// runs the request's state machine), so that a program slow to look never takes bytes waiting
// for it for silence.
void CurlInet::checkTimeOut() {
    std::vector<curl_socket_t> sockets;
    for (const auto& watched : watches_) sockets.push_back(watched.first);
    for (curl_socket_t socket : sockets) {
        if (request_) drive(socket, 0);
    }
    if (!request_) return;
    if (std::optional<OpResult> outcome = request_->expired()) end(std::move(*outcome));
}

void CurlInet::collectFinished() {
    int queued = 0;
    while (CURLMsg* message = curl_multi_info_read(multi_.get(), &queued)) {
        if (message->msg != CURLMSG_DONE || !request_ || message->easy_handle != request_->easy()) {
            continue;
        }
        end(request_->complete(message->data.result));
    }
}

}  // namespace pulsaro
