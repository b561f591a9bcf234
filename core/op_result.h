#pragma once

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
    TooSlow,      // the file's bytes came slower than the request time-out's floor allows
    Unconfirmed,  // the transfer ended without the server's final reply, and no size holds it
};

struct ErrorCode {
    ErrorDomain domain = ErrorDomain::None;
    long value = 0;

    static ErrorCode system(long number) { return {ErrorDomain::System, number}; }
    static ErrorCode transfer(long code) { return {ErrorDomain::Transfer, code}; }
    static ErrorCode rule(FailedRule rule) { return {ErrorDomain::Rule, static_cast<long>(rule)}; }
    friend bool operator==(const ErrorCode&, const ErrorCode&) = default;
};

// The outcome of one platform operation. A failure names the operation, its arguments, the
// host's reason and its code, so that whoever records it needs nothing else.
class [[nodiscard]] OpResult {
  public:
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
    const std::string& reason() const { return reason_; }
    ErrorCode code() const { return code_; }

  private:
    OpResult() = default;
    bool ok_ = true;
    std::string operation_;
    std::string arguments_;
    std::string reason_;
    ErrorCode code_;
};

// A text in double quotes, as arguments appear in diagnostics.
std::string inQuotes(std::string_view text);

// Builds the failures of one call of one operation.
class FailureOf {
  public:
    FailureOf(std::string operation, std::string arguments)
        : operation_(std::move(operation)), arguments_(std::move(arguments)) {}
    OpResult operator()(std::string reason, ErrorCode code) const {
        return OpResult::failure(operation_, arguments_, std::move(reason), code);
    }
    OpResult operator()(FailedRule rule, std::string reason) const {
        return (*this)(std::move(reason), ErrorCode::rule(rule));
    }

  private:
    std::string operation_;
    std::string arguments_;
};

}  // namespace pulsaro
