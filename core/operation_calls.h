#pragma once

// The calls of the platform operations as their results name them, alike on every host: the
// operation, its arguments, and in plain words what the call is to do.

#include "op_result.h"

#include <string_view>

namespace pulsaro::calls {

FailureOf killFiles(std::string_view pattern);
FailureOf removeDir(std::string_view path);
FailureOf makeDir(std::string_view path);
FailureOf fileCopy(std::string_view source, std::string_view destination);
FailureOf fileLen(std::string_view path);
FailureOf shell(std::string_view commandLine);
FailureOf exclusiveLock(std::string_view path);

}  // namespace pulsaro::calls
