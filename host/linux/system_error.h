#pragma once

#include "op_result.h"

#include <cerrno>
#include <string>
#include <string_view>
#include <system_error>

namespace pulsaro {

// The error number of an operation that ran out of memory (runOperation).
inline constexpr long kOutOfMemory = ENOMEM;

// The host's text for an error number.
inline std::string hostReason(int error) {
    return std::error_code(error, std::system_category()).message();
}

// A failure with the host's error number, its text prefixed by what it concerns ("<where>: ").
inline OpResult systemFailure(const FailureOf& fail, int error, std::string_view where = {}) {
    std::string reason(where);
    if (!reason.empty()) reason.append(": ");
    reason.append(hostReason(error));
    return fail(std::move(reason), ErrorCode::system(error));
}

}  // namespace pulsaro
