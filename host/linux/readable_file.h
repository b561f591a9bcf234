#pragma once

#include "fd.h"
#include "op_result.h"

#include <string_view>

namespace pulsaro {

// Opens the regular file at a Windows path for reading, never waiting on it: anything but a
// regular file, and a link leading off the drive, is refused. The failure says why.
[[nodiscard]] OpResult openFileToRead(std::string_view windowsPath, const FailureOf& fail, Fd& fd);

}  // namespace pulsaro
