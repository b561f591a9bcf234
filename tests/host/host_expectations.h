#pragma once

// What the host contract tests expect that differs between the hosts: their own error numbers,
// the paths the programs Shell starts are given, and how a second holder meets the lock.

#include "op_result.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#ifdef _WIN32
#include <windows.h>
#else
#include "process_support.h"

#include <unistd.h>

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
// Nothing tells when a second holder has found the lock held, so it is given a moment: one that
// takes a held lock does so within it, and a machine too busy to run it meanwhile only makes the
// run prove less, never fail.
inline void letTheNextHolderWait() {
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
}
// The next holder makes its own file, "UPDATE.LOCK", once the first let go and deleted its file; a
// killed holder's file may still be there when the next one opens it, which then takes it over.
inline std::vector<std::vector<std::string>> lockFilesOfTheNextHolder(bool firstKilled) {
    if (firstKilled) return {{"UPDATE.LOCK"}, {"update.lock"}};
    return {{"UPDATE.LOCK"}};
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
// A second holder is seen waiting for the lock that the first holds.
inline void letTheNextHolderWait() {
    EXPECT_TRUE(test::eventually([] { return test::waitsForALock(::getpid()); }))
        << "the next one never waited for the lock";
}
// The next holder locks the file the first one made, whichever way its name is spelt.
inline std::vector<std::vector<std::string>> lockFilesOfTheNextHolder(bool) {
    return {{"update.lock"}};
}
#endif

}  // namespace pulsaro::test::expected
