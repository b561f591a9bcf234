#pragma once

// What the host contract tests expect that differs between the hosts: their own error numbers,
// and the paths the programs Shell starts are given.

#include "op_result.h"

#include <filesystem>
#include <string>
#include <string_view>

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
inline const ErrorCode kLockOnAFolder = ErrorCode::rule(FailedRule::NotARegularFile);
// A started program knows nothing of the mapped drive: it gets the path a drive path maps to.
inline std::string pathAsStarted(const std::filesystem::path& mapped, std::string_view) {
    return mapped.string();
}
#else
inline const ErrorCode kNoSuchFile = ErrorCode::system(ENOENT);
inline const ErrorCode kNoSuchFolder = ErrorCode::system(ENOENT);
inline const ErrorCode kFolderInTheWay = ErrorCode::system(EISDIR);
inline const ErrorCode kLockOnAFolder = ErrorCode::system(EISDIR);
// This host's own programs (the stand-ins) are given the drive path as written, and map it.
inline std::string pathAsStarted(const std::filesystem::path&, std::string_view written) {
    return std::string(written);
}
#endif

}  // namespace pulsaro::test::expected
