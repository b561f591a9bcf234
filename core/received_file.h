#pragma once

#include "op_result.h"

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace pulsaro {

// A file being received: its bytes go beside the target, which they replace only when
// committed. The host's PartialFile (host.h) is one; a download writes through this alone, so
// the core that takes the bytes needs nothing of the host.
class ReceivedFile {
  public:
    virtual ~ReceivedFile() = default;

    [[nodiscard]] virtual OpResult open(std::string_view windowsTarget) = 0;
    [[nodiscard]] virtual OpResult append(const char* data, std::size_t size) = 0;
    [[nodiscard]] virtual OpResult commit() = 0;
    // The bytes appended so far.
    virtual std::int64_t size() const = 0;
};

}  // namespace pulsaro
