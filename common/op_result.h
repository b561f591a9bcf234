#pragma once

#include <string>
#include <utility>

namespace pulsaro {

// The outcome of one platform operation. A failure names the operation, its arguments and the
// host's reason, so that whoever records it needs nothing else.
class [[nodiscard]] OpResult {
  public:
    static OpResult success() { return OpResult(); }
    static OpResult failure(std::string operation, std::string arguments, std::string reason) {
        OpResult r;
        r.ok_ = false;
        r.operation_ = std::move(operation);
        r.arguments_ = std::move(arguments);
        r.reason_ = std::move(reason);
        return r;
    }

    bool ok() const { return ok_; }
    explicit operator bool() const { return ok_; }
    const std::string& operation() const { return operation_; }
    const std::string& arguments() const { return arguments_; }
    const std::string& reason() const { return reason_; }

  private:
    OpResult() = default;
    bool ok_ = true;
    std::string operation_;
    std::string arguments_;
    std::string reason_;
};

// Builds the failures of one call of one operation.
class FailureOf {
  public:
    FailureOf(std::string operation, std::string arguments)
        : operation_(std::move(operation)), arguments_(std::move(arguments)) {}
    OpResult operator()(std::string reason) const {
        return OpResult::failure(operation_, arguments_, std::move(reason));
    }

  private:
    std::string operation_;
    std::string arguments_;
};

}  // namespace pulsaro
