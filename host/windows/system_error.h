#pragma once

#include "op_result.h"

#include <windows.h>

#include <string>
#include <string_view>

namespace pulsaro {

// The error number of an operation that ran out of memory (runOperation).
inline constexpr long kOutOfMemory = ERROR_OUTOFMEMORY;

// The system's text for a Win32 error (WinINet's errors included), without its line end.
std::string hostReason(DWORD error);

// A failure with the Win32 error number, its text prefixed by what it concerns ("<where>: ").
OpResult systemFailure(const FailureOf& fail, DWORD error, std::string_view where = {});

}  // namespace pulsaro
