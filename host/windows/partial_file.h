#pragma once

#include "host.h"
#include "temporary_files.h"

#include <cstddef>
#include <string>
#include <string_view>

namespace pulsaro {

// A PartialFile's temporary file beside its target, on this host.
class PartialFile::HostFile {
  public:
    // Maps the target and creates the file beside it, refusing a target that exists and is not a
    // regular file; a failure is `fail`'s.
    [[nodiscard]] OpResult create(std::string_view windowsTarget, const FailureOf& fail);
    [[nodiscard]] OpResult write(const char* data, std::size_t size);
    [[nodiscard]] OpResult replaceTarget();

  private:
    std::wstring target_;
    TemporaryFile file_;
};

}  // namespace pulsaro
