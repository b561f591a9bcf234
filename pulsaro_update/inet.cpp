#include "inet.h"

#include "drive.h"
#include "get_command.h"
#include "partial_file.h"

#include <QByteArray>

#include <algorithm>
#include <climits>
#include <optional>
#include <stdexcept>
#include <system_error>

namespace pulsaro {
namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

std::string quoted(std::string_view text) {
    return "\"" + std::string(text) + "\"";
}

std::string hostReason(int error) {
    return std::error_code(error, std::system_category()).message();
}

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

bool equalsIgnoringCase(std::string_view a, std::string_view b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(),
                      [](char x, char y) { return (x | 0x20) == (y | 0x20); });
}

// The remote path is absolute on the server, so the URL path starts with an encoded "/": an
// FTP URL's path is otherwise taken relative to the folder the login lands in.
std::string fileNameOf(const std::string& remotePath) {
    return remotePath.substr(remotePath.rfind('/') + 1);
}

std::string urlPathOf(const std::string& remotePath) {
    const QByteArray rest = QByteArray::fromStdString(remotePath.substr(1));
    return "/%2F" + rest.toPercentEncoding("/").toStdString();
}

// The server URL with the remote file as its path; std::nullopt with a reason otherwise.
std::optional<std::string> buildUrl(CURLU* handle, const std::string& serverUrl,
                                    const std::string& remotePath) {
    if (CURLUcode rc = curl_url_set(handle, CURLUPART_URL, serverUrl.c_str(), 0); rc != CURLUE_OK) {
        return std::string("invalid URL: ") + curl_url_strerror(rc);
    }
    char* scheme = nullptr;
    if (curl_url_get(handle, CURLUPART_SCHEME, &scheme, 0) != CURLUE_OK)
        return "URL without scheme";
    const bool ftp = equalsIgnoringCase(scheme, "ftp");
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

// The size in a reply to SIZE ("213 <digits>"); -1 for any other reply line.
curl_off_t announcedSizeIn(std::string_view reply) {
    constexpr std::string_view kSizeReply = "213 ";
    if (reply.substr(0, kSizeReply.size()) != kSizeReply) return -1;
    reply.remove_prefix(kSizeReply.size());
    while (!reply.empty() && (reply.back() == '\n' || reply.back() == '\r')) reply.remove_suffix(1);
    if (reply.empty() || reply.size() > 18) return -1;
    curl_off_t size = 0;
    for (char c : reply) {
        if (c < '0' || c > '9') return -1;
        size = size * 10 + (c - '0');
    }
    return size;
}

}  // namespace

// One get request: its libcurl handles and the file it fills.
class Inet::Request {
  public:
    Request(CURLM* multi, FailureOf failure) : multi_(multi), failure_(std::move(failure)) {}
    ~Request() {
        if (inMulti_) curl_multi_remove_handle(multi_, easy_.get());
    }
    Request(const Request&) = delete;
    Request& operator=(const Request&) = delete;

    OpResult start(const std::string& serverUrl, const GetCommand& get,
                   const std::filesystem::path& target, const Inet& settings) {
        url_.reset(curl_url());
        easy_.reset(curl_easy_init());
        if (!url_ || !easy_) return failure_("out of memory");
        if (auto why = buildUrl(url_.get(), serverUrl, get.remotePath)) return failure_(*why);
        if (int error = file_.open(target))
            return failure_(target.string() + ": " + hostReason(error));
        sizeQuery_.reset(
            curl_slist_append(nullptr, ("*SIZE " + fileNameOf(get.remotePath)).c_str()));
        if (!sizeQuery_) return failure_("out of memory");
        configure(settings);
        if (CURLMcode rc = curl_multi_add_handle(multi_, easy_.get()); rc != CURLM_OK) {
            return failure_(curl_multi_strerror(rc));
        }
        inMulti_ = true;
        lastProgress_ = Clock::now();
        return OpResult::success();
    }

    // Keeps the file only when curl saw the transfer through and every announced byte arrived.
    OpResult complete(CURLcode code) {
        if (code != CURLE_OK) return failure_(problem_.empty() ? curlReason(code) : problem_);
        if (announced_ >= 0 && announced_ != file_.size()) {
            return failure_("received " + std::to_string(file_.size()) + " of the " +
                            std::to_string(announced_) + " bytes announced");
        }
        if (int error = file_.commit())
            return failure_(file_.target().string() + ": " + hostReason(error));
        return OpResult::success();
    }

    OpResult fail(const std::string& reason) const { return failure_(reason); }
    CURL* easy() const { return easy_.get(); }
    Clock::time_point lastProgress() const { return lastProgress_; }

  private:
    void configure(const Inet& settings) {
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
        // complete; so the size is asked for here (a server may decline) and checked against
        // everything the data connection delivers.
        curl_easy_setopt(easy, CURLOPT_IGNORE_CONTENT_LENGTH, 1L);
        curl_easy_setopt(easy, CURLOPT_PREQUOTE, sizeQuery_.get());
        curl_easy_setopt(easy, CURLOPT_HEADERFUNCTION, &Request::onReply);
        curl_easy_setopt(easy, CURLOPT_HEADERDATA, this);
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
            request->problem_ =
                "the server sent a reply line of " + std::to_string(size * count) + " bytes";
            return 0;
        }
        const curl_off_t announced = announcedSizeIn(std::string_view(line, size * count));
        if (announced >= 0) request->announced_ = announced;
        return size * count;
    }

    static size_t onData(char* data, size_t size, size_t count, void* self) {
        auto* request = static_cast<Request*>(self);
        return request->store(data, size * count) ? size * count : 0;
    }

    bool store(const char* data, size_t size) {
        lastProgress_ = Clock::now();
        if (announced_ >= 0 && file_.size() + static_cast<curl_off_t>(size) > announced_) {
            problem_ = "the server sent more than the " + std::to_string(announced_) +
                       " bytes it announced";
            return false;
        }
        if (int error = file_.append(data, size)) {
            problem_ = file_.target().string() + ": " + hostReason(error);
            return false;
        }
        return true;
    }

    std::string curlReason(CURLcode code) const {
        return errorText_[0] != '\0' ? std::string(errorText_) : curl_easy_strerror(code);
    }

    CURLM* multi_;
    FailureOf failure_;
    // The URL handle and the command list must outlive the easy handle that reads them.
    CurlUrl url_;
    CurlList sizeQuery_;
    CurlEasy easy_;
    bool inMulti_ = false;
    PartialFile file_;
    std::string problem_;
    curl_off_t announced_ = -1;  // none until the server answers SIZE
    char errorText_[CURL_ERROR_SIZE] = {};
    Clock::time_point lastProgress_;
};

Inet::Inet() {
    initialiseCurlOnce();
    multi_.reset(curl_multi_init());
    if (!multi_) throw std::bad_alloc();
    curl_multi_setopt(multi_.get(), CURLMOPT_SOCKETFUNCTION, &Inet::onCurlSocket);
    curl_multi_setopt(multi_.get(), CURLMOPT_SOCKETDATA, this);
    curl_multi_setopt(multi_.get(), CURLMOPT_TIMERFUNCTION, &Inet::onCurlTimer);
    curl_multi_setopt(multi_.get(), CURLMOPT_TIMERDATA, this);
    curlTimer_.setSingleShot(true);
    QObject::connect(&curlTimer_, &QTimer::timeout, &curlTimer_,
                     [this] { drive(CURL_SOCKET_TIMEOUT, 0); });
    progressTimer_.setSingleShot(true);
    QObject::connect(&progressTimer_, &QTimer::timeout, &progressTimer_,
                     [this] { checkProgress(); });
}

Inet::~Inet() {
    request_.reset();
    // Whatever the multi handle still does while it goes must not reach members already gone.
    curl_multi_setopt(multi_.get(), CURLMOPT_SOCKETFUNCTION, nullptr);
    curl_multi_setopt(multi_.get(), CURLMOPT_TIMERFUNCTION, nullptr);
}

OpResult Inet::Execute(std::string_view url, std::string_view command) {
    const FailureOf failure("Execute", quoted(url) + " " + quoted(command));
    if (StillExecuting()) return failure("the previous request is still executing");
    const std::string serverUrl = url.empty() ? url_ : std::string(url);
    const std::optional<GetCommand> get = parseGetCommand(command);
    if (!get) {
        outcome_ = failure("not a \"get <remote file> <local file>\" command");
        return outcome_;
    }
    const HostPath target = resolvePath(get->localPath);
    if (!target.ok()) {
        outcome_ = failure(target.error);
        return outcome_;
    }
    auto request = std::make_unique<Request>(multi_.get(), failure);
    outcome_ = request->start(serverUrl, *get, target.path, *this);
    if (!outcome_) return outcome_;
    request_ = std::move(request);
    if (requestTimeout_ > milliseconds::zero()) progressTimer_.start(requestTimeout_);
    return outcome_;
}

void Inet::Cancel() {
    if (request_) end(request_->fail("cancelled"));
}

void Inet::end(OpResult outcome) {
    progressTimer_.stop();
    request_.reset();
    outcome_ = std::move(outcome);
}

int Inet::onCurlSocket(CURL*, curl_socket_t socket, int what, void* self, void*) {
    auto* inet = static_cast<Inet*>(self);
    if (what == CURL_POLL_REMOVE) {
        inet->unwatch(socket);
    } else {
        inet->watch(socket, what);
    }
    return 0;
}

int Inet::onCurlTimer(CURLM*, long timeoutMs, void* self) {
    auto* inet = static_cast<Inet*>(self);
    if (timeoutMs < 0) {
        inet->curlTimer_.stop();
    } else {
        inet->curlTimer_.start(static_cast<int>(std::min<long>(timeoutMs, INT_MAX)));
    }
    return 0;
}

void Inet::watch(curl_socket_t socket, int what) {
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
void Inet::unwatch(curl_socket_t socket) {
    const auto found = watches_.find(socket);
    if (found == watches_.end()) return;
    for (auto* notifier : {&found->second.readable, &found->second.writable}) {
        (*notifier)->setEnabled(false);
        retired_.push_back(std::move(*notifier));
    }
    watches_.erase(found);
}

void Inet::drive(curl_socket_t socket, int events) {
    retired_.clear();
    int running = 0;
    curl_multi_socket_action(multi_.get(), socket, events, &running);
    collectFinished();
}

void Inet::collectFinished() {
    int queued = 0;
    while (CURLMsg* message = curl_multi_info_read(multi_.get(), &queued)) {
        if (message->msg != CURLMSG_DONE || !request_ || message->easy_handle != request_->easy()) {
            continue;
        }
        const CURLcode code = message->data.result;
        end(request_->complete(code));
    }
}

void Inet::checkProgress() {
    if (!request_) return;
    const auto quiet =
        std::chrono::duration_cast<milliseconds>(Clock::now() - request_->lastProgress());
    if (quiet >= requestTimeout_) {
        end(request_->fail("timed out: no file data for " + std::to_string(quiet.count()) + " ms"));
        return;
    }
    progressTimer_.start(requestTimeout_ - quiet);
}

}  // namespace pulsaro
