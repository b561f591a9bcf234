#pragma once

// What the host contract tests expect that differs between the hosts: their own error numbers.

#include "op_result.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <cerrno>
#endif

namespace pulsaro::test::expected {

#ifdef _WIN32
inline const ErrorCode kNoSuchFile = ErrorCode::system(ERROR_FILE_NOT_FOUND);
inline const ErrorCode kNoSuchFolder = ErrorCode::system(ERROR_PATH_NOT_FOUND);
// What replacing a folder with a file fails with.
inline const ErrorCode kFolderInTheWay = ErrorCode::system(ERROR_ACCESS_DENIED);
#else
inline const ErrorCode kNoSuchFile = ErrorCode::system(ENOENT);
inline const ErrorCode kNoSuchFolder = ErrorCode::system(ENOENT);
inline const ErrorCode kFolderInTheWay = ErrorCode::system(EISDIR);
#endif

}  // namespace pulsaro::test::expected
