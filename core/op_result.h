#pragma once

#include <exception>
#include <string>
#include <string_view>
#include <utility>

namespace pulsaro {

// Where a failure's code comes from, so that a caller can tell the kind of failure without
// reading the reason text.
enum class ErrorDomain {
    None,      // success
    System,    // the host's error number: errno, or a Win32 error
    Transfer,  // the transfer library's code: a CURLcode, or a WinINet error
    Rule,      // one of the system's own checks; the value is a FailedRule
};

// The system's own reasons for refusing or failing an operation.
enum class FailedRule {
    NoFileMatches = 1,
    OutsideDrive,
    NotARegularFile,
    ReadOnlyDestination,
    ProgramNotFound,
    BadCommand,
    Busy,
    Cancelled,
    TimedOut,
    ShorterThanAnnounced,
    LongerThanAnnounced,
    SizesDisagree,
    ReplyTooLong,
    EmptyFile,
    NeedsWine,  // a Windows program, and no Wine on this host to start it
    UnreadableSize,
    LargerThanAllowed,  // a file larger than the request accepts
    TooSlow,            // the file's bytes came slower than the request time-out's floor allows
    Unconfirmed,        // the transfer ended without the server's final reply, and no size holds it
    NotSigned,          // no signature could be had for an update
    MalformedSignature,  // what stands as the signature is none
    SignatureMismatch,   // a signature that does not sign the file with any key held
};

struct ErrorCode {
    ErrorDomain domain = ErrorDomain::None;
    long value = 0;

    static ErrorCode system(long number) { return {ErrorDomain::System, number}; }
    static ErrorCode transfer(long code) { return {ErrorDomain::Transfer, code}; }
    static ErrorCode rule(FailedRule rule) { return {ErrorDomain::Rule, static_cast<long>(rule)}; }
    friend bool operator==(const ErrorCode&, const ErrorCode&) = default;
};

// The outcome of one platform operation. It names the call (the operation, its arguments, and
// in plain words what it was to do), and a failure says the host's reason and its code, so that
// whoever records it needs nothing else.
class [[nodiscard]] OpResult {
  public:
    // A success that names no call.
    static OpResult success() { return OpResult(); }
    static OpResult failure(std::string operation, std::string arguments, std::string reason,
                            ErrorCode code) {
        OpResult r;
        r.ok_ = false;
        r.operation_ = std::move(operation);
        r.arguments_ = std::move(arguments);
        r.reason_ = std::move(reason);
        r.code_ = code;
        return r;
    }

    bool ok() const { return ok_; }
    explicit operator bool() const { return ok_; }
    const std::string& operation() const { return operation_; }
    const std::string& arguments() const { return arguments_; }
    // What the call was to do, in plain words ("copy \"a\" to \"b\""); empty when not named.
    const std::string& task() const { return task_; }
    const std::string& reason() const { return reason_; }
    ErrorCode code() const { return code_; }

    // A failure that leaves nothing undone: the operation found its work already done (no file to
    // delete, the folder to make already there, the folder to remove not there or kept only for
    // the folders it holds). It still fails, for a caller that needs the operation's own effect.
    bool leavesNothingUndone() const { return nothingUndone_; }
    OpResult asNothingUndone() && {
        nothingUndone_ = !ok_;
        return std::move(*this);
    }

  private:
    friend class FailureOf;
    OpResult() = default;
    bool ok_ = true;
    bool nothingUndone_ = false;
    std::string operation_;
    std::string arguments_;
    std::string task_;
    std::string reason_;
    ErrorCode code_;
};

// A text in double quotes, as arguments appear in diagnostics.
std::string inQuotes(std::string_view text);

// Builds the results of one call of one operation. The task says in plain words what the call is
// to do; it may be left empty for a call whose results only ever feed another one's.
class FailureOf {
  public:
    FailureOf(std::string operation, std::string arguments, std::string task = {})
        : operation_(std::move(operation)),
          arguments_(std::move(arguments)),
          task_(std::move(task)) {}
    OpResult operator()(std::string reason, ErrorCode code) const {
        OpResult r = OpResult::failure(operation_, arguments_, std::move(reason), code);
        r.task_ = task_;
        return r;
    }
    OpResult operator()(FailedRule rule, std::string reason) const {
        return (*this)(std::move(reason), ErrorCode::rule(rule));
    }
    // The call's success, named, so that a trace can say which step it was.
    OpResult success() const {
        OpResult r;
        r.operation_ = operation_;
        r.arguments_ = arguments_;
        r.task_ = task_;
        return r;
    }

  private:
    std::string operation_;
    std::string arguments_;
    std::string task_;
};

// Runs the body of a platform operation, which must not throw: an exception from it (an
// allocation for a path or a buffer that failed) becomes the call's failure, with the host's
// error number for memory running out.
template <typename Body>
OpResult runOperation(const FailureOf& call, long outOfMemory, Body&& body) noexcept {
    try {
        return body(call);
    } catch (const std::exception& e) {
        return call(e.what(), ErrorCode::system(outOfMemory));
    }
}

}  // namespace pulsaro
