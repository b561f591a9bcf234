#pragma once

#include "handle.h"
#include "op_result.h"

#include <string_view>

namespace pulsaro {

// Opens the regular file at a Windows path for reading, never waiting on it, while others may
// write, rename or delete it: a folder, pipe or device is refused. The failure says why.
[[nodiscard]] OpResult openFileToRead(std::string_view windowsPath, const FailureOf& fail,
                                      Handle& file);

}  // namespace pulsaro
